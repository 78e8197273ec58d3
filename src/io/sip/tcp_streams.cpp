#include "io/sip/tcp_streams.h"

#include <algorithm>

namespace quorvane::io {

std::optional<std::uint32_t> TcpSequenceOf(Bytes tcpSegment) {
  if (tcpSegment.size() < 20) return std::nullopt;
  const std::uint8_t* p = tcpSegment.data() + 4;
  return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
         static_cast<std::uint32_t>(p[2]) << 8 | p[3];
}

std::optional<std::string_view> TcpStreams::Add(const TcpFlowKey& key, std::uint32_t sequence, Bytes payload) {
  auto it = flows_.find(key);
  if (it == flows_.end()) {
    if (flows_.size() >= kMaxFlows) {
      // The connection idle longest makes room.
      flows_.erase(std::min_element(flows_.begin(), flows_.end(),
                                    [](const auto& a, const auto& b) { return a.second.lastUse < b.second.lastUse; }));
    }
    it = flows_.emplace(key, Flow{sequence, {}, 0}).first;
  }
  Flow& flow = it->second;
  flow.lastUse = ++uses_;
  const std::int32_t ahead = static_cast<std::int32_t>(sequence - flow.next);
  if (ahead > 0) {  // bytes missing: what was buffered can never complete
    flow.unread.clear();
    flow.next = sequence;
  } else if (-static_cast<std::int64_t>(ahead) >= static_cast<std::int64_t>(payload.size())) {
    return std::nullopt;  // a retransmission of bytes already taken
  } else {
    payload = payload.subspan(static_cast<std::size_t>(-static_cast<std::int64_t>(ahead)));
  }
  flow.next += static_cast<std::uint32_t>(payload.size());
  if (payload.empty()) return std::nullopt;
  if (flow.unread.size() + payload.size() > kMaxBuffered) flow.unread.clear();  // no message is this long
  flow.unread.append(reinterpret_cast<const char*>(payload.data()), std::min(payload.size(), kMaxBuffered));
  return std::string_view(flow.unread);
}

void TcpStreams::Consume(const TcpFlowKey& key, std::size_t count) {
  const auto it = flows_.find(key);
  if (it == flows_.end()) return;
  it->second.unread.erase(0, std::min(count, it->second.unread.size()));
}

bool TcpStreams::Pending(const TcpFlowKey& key) const {
  const auto it = flows_.find(key);
  return it != flows_.end() && !it->second.unread.empty();
}

}  // namespace quorvane::io

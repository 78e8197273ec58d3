#include "io/capture/fragment_reassembly.h"

#include <algorithm>

namespace quorvane::io {
namespace {

constexpr std::uint32_t kMaxDatagramBytes = 65535;
// A datagram split into more pieces than this is not worth keeping.
constexpr std::size_t kMaxPieces = 64;

}  // namespace

bool FragmentReassembler::Complete(const Datagram& datagram) const {
  if (!datagram.totalLength) return false;
  std::vector<std::pair<std::uint32_t, std::uint32_t>> pieces = datagram.pieces;
  std::sort(pieces.begin(), pieces.end());
  std::uint32_t covered = 0;
  for (const auto& [begin, end] : pieces) {
    if (begin > covered) return false;
    covered = std::max(covered, end);
  }
  return covered >= *datagram.totalLength;
}

std::optional<std::vector<std::uint8_t>> FragmentReassembler::Add(const IpPayload& fragment, double time) {
  std::erase_if(datagrams_, [time](const Datagram& d) { return time - d.firstSeen > kTimeoutSeconds; });

  const std::uint64_t end = std::uint64_t{fragment.fragmentOffset} + fragment.payload.size();
  if (end > kMaxDatagramBytes) return std::nullopt;

  auto it = std::find_if(datagrams_.begin(), datagrams_.end(), [&](const Datagram& d) {
    return d.id == fragment.fragmentId && d.protocol == fragment.protocol && d.src == fragment.src &&
           d.dst == fragment.dst;
  });
  if (it == datagrams_.end()) {
    if (datagrams_.size() >= kMaxDatagrams) datagrams_.erase(datagrams_.begin());  // the oldest
    datagrams_.push_back(Datagram{fragment.src, fragment.dst, fragment.protocol, fragment.fragmentId, time, {}, {}, {}});
    it = datagrams_.end() - 1;
  }
  Datagram& datagram = *it;
  if (datagram.pieces.size() >= kMaxPieces) {
    datagrams_.erase(it);
    return std::nullopt;
  }
  if (datagram.bytes.size() < end) datagram.bytes.resize(end);
  std::copy(fragment.payload.begin(), fragment.payload.end(), datagram.bytes.begin() + fragment.fragmentOffset);
  datagram.pieces.emplace_back(fragment.fragmentOffset, static_cast<std::uint32_t>(end));
  if (!fragment.moreFragments) datagram.totalLength = static_cast<std::uint32_t>(end);

  if (!Complete(datagram)) return std::nullopt;
  std::vector<std::uint8_t> whole = std::move(datagram.bytes);
  whole.resize(*datagram.totalLength);
  datagrams_.erase(it);
  return whole;
}

}  // namespace quorvane::io

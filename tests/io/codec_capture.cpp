#include "io/codec_capture.h"

#include <algorithm>
#include <stdexcept>

#include "codec/ulaw.h"
#include "io/capture/amr_payload.h"

extern "C" {
#include <bcg729/encoder.h>
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <opencore-amrnb/interf_enc.h>
#include <srtp2/srtp.h>
#include <vo-amrwbenc/enc_if.h>
}

namespace quorvane::testing {
namespace {

// Linear interpolation up from 8 kHz: the images it leaves lie above 4 kHz,
// where the decoding side's resampler takes them away again.
std::vector<std::int16_t> Upsample(const std::vector<std::int16_t>& audio, int factor) {
  std::vector<std::int16_t> out;
  for (std::size_t i = 0; i < audio.size(); ++i) {
    const int next = i + 1 < audio.size() ? audio[i + 1] : 0;
    for (int j = 0; j < factor; ++j) out.push_back(static_cast<std::int16_t>(audio[i] + (next - audio[i]) * j / factor));
  }
  return out;
}

// Every packet a libavcodec encoder makes of the audio, padded to whole frames.
std::vector<Packet> AvEncode(const char* name, int rate, std::int64_t bitRate, std::vector<std::int16_t> audio) {
  const AVCodec* codec = avcodec_find_encoder_by_name(name);
  if (codec == nullptr) throw std::runtime_error(std::string("no encoder ") + name);
  AVCodecContext* context = avcodec_alloc_context3(codec);
  context->sample_rate = rate;
  av_channel_layout_default(&context->ch_layout, 1);
  context->sample_fmt = AV_SAMPLE_FMT_S16;
  context->bit_rate = bitRate;
  if (std::string(name) == "libopus") context->frame_size = 960;
  if (avcodec_open2(context, codec, nullptr) < 0) throw std::runtime_error(std::string("cannot open ") + name);
  const std::size_t frameSize = context->frame_size > 0 ? static_cast<std::size_t>(context->frame_size) : 320;
  audio.resize((audio.size() + frameSize - 1) / frameSize * frameSize, 0);
  AVFrame* frame = av_frame_alloc();
  AVPacket* packet = av_packet_alloc();
  std::vector<Packet> packets;
  const auto drain = [&] {
    while (avcodec_receive_packet(context, packet) == 0) {
      packets.emplace_back(packet->data, packet->data + packet->size);
      av_packet_unref(packet);
    }
  };
  for (std::size_t at = 0; at < audio.size(); at += frameSize) {
    frame->nb_samples = static_cast<int>(frameSize);
    frame->format = AV_SAMPLE_FMT_S16;
    frame->sample_rate = rate;
    av_channel_layout_default(&frame->ch_layout, 1);
    frame->pts = static_cast<std::int64_t>(at);
    av_frame_get_buffer(frame, 0);
    std::copy_n(audio.data() + at, frameSize, reinterpret_cast<std::int16_t*>(frame->data[0]));
    avcodec_send_frame(context, frame);
    av_frame_unref(frame);
    drain();
  }
  avcodec_send_frame(context, nullptr);
  drain();
  av_packet_free(&packet);
  av_frame_free(&frame);
  avcodec_free_context(&context);
  return packets;
}

// A byte stream cut into 20 ms payloads of `bytes` each, no more than the audio's length.
std::vector<SentPayload> Cut(const std::vector<Packet>& packets, std::size_t bytes, std::size_t count) {
  Packet all;
  for (const Packet& p : packets) all.insert(all.end(), p.begin(), p.end());
  std::vector<SentPayload> out;
  for (std::size_t k = 0; k < count && (k + 1) * bytes <= all.size(); ++k) {
    out.push_back({static_cast<std::uint32_t>(k * 160),
                   Packet(all.begin() + static_cast<std::ptrdiff_t>(k * bytes), all.begin() + static_cast<std::ptrdiff_t>((k + 1) * bytes))});
  }
  return out;
}

struct BitWriter {
  Packet bytes;
  std::size_t bits = 0;
  void Put(unsigned value, unsigned count) {
    for (unsigned i = count; i-- > 0;) {
      if (bits % 8 == 0) bytes.push_back(0);
      if (value >> i & 1) bytes.back() |= static_cast<std::uint8_t>(0x80 >> (bits % 8));
      ++bits;
    }
  }
};

// One storage-format AMR frame (header byte, then its bits) as an RFC 4867 payload.
Packet AmrPayload(const std::uint8_t* frame, bool wideband, bool octetAligned) {
  const unsigned type = frame[0] >> 3 & 15;
  if (octetAligned) {
    Packet out{0xF0, static_cast<std::uint8_t>(type << 3 | 4)};
    const int bits = io::AmrFrameBits(wideband, type);
    out.insert(out.end(), frame + 1, frame + 1 + (bits + 7) / 8);
    return out;
  }
  BitWriter writer;
  writer.Put(15, 4);          // no mode request
  writer.Put(type << 1 | 1, 6);  // last entry, good quality
  const int bits = io::AmrFrameBits(wideband, type);
  for (int i = 0; i < bits; ++i) writer.Put(frame[1 + i / 8] >> (7 - i % 8) & 1, 1);
  return writer.bytes;
}

}  // namespace

const std::vector<CodecPlan> kCodecPlans = {
    {TestCodec::G722, 9, "", "", "G722/8000", 16000, 8000},
    {TestCodec::G726, 97, "G726-32/8000", "", "G726-32/8000", 8000, 8000},
    {TestCodec::Aal2G726, 98, "AAL2-G726-32/8000", "", "AAL2-G726-32/8000", 8000, 8000},
    {TestCodec::Gsm, 3, "", "", "GSM/8000", 8000, 8000},
    {TestCodec::G729, 18, "", "", "G729/8000", 8000, 8000},
    {TestCodec::Opus, 111, "opus/48000/2", "useinbandfec=1", "opus/48000/2", 48000, 48000},
    {TestCodec::AmrOctetAligned, 112, "AMR/8000", "octet-align=1", "AMR/8000", 8000, 8000},
    {TestCodec::AmrWbBandwidthEfficient, 113, "AMR-WB/16000", "", "AMR-WB/16000", 16000, 16000},
    {TestCodec::L16, 114, "L16/16000", "", "L16/16000", 16000, 16000},
};

std::vector<SentPayload> EncodePayloads(const CodecPlan& plan, const std::vector<std::int16_t>& audio) {
  const std::size_t packets = audio.size() / 160;
  std::vector<SentPayload> out;
  switch (plan.codec) {
    case TestCodec::G722: return Cut(AvEncode("g722", 16000, 64000, Upsample(audio, 2)), 160, packets);
    case TestCodec::G726: return Cut(AvEncode("g726le", 8000, 32000, audio), 80, packets);
    case TestCodec::Aal2G726: return Cut(AvEncode("g726", 8000, 32000, audio), 80, packets);
    case TestCodec::Gsm: return Cut(AvEncode("libgsm", 8000, 13200, audio), 33, packets);
    case TestCodec::Opus: {
      const std::vector<Packet> encoded = AvEncode("libopus", 48000, 32000, Upsample(audio, 6));
      for (std::size_t k = 0; k < encoded.size() && k < packets; ++k) {
        out.push_back({static_cast<std::uint32_t>(k * 960), encoded[k]});
      }
      return out;
    }
    case TestCodec::G729: {
      // 10 ms packets with voice activity detection on: SID frames of two
      // bytes, and nothing at all for the frames between them.
      bcg729EncoderChannelContextStruct* encoder = initBcg729EncoderChannel(1);
      for (std::size_t at = 0; at + 80 <= packets * 160; at += 80) {
        std::uint8_t bits[10];
        std::uint8_t length = 0;
        bcg729Encoder(encoder, audio.data() + at, bits, &length);
        if (length > 0) out.push_back({static_cast<std::uint32_t>(at), Packet(bits, bits + length)});
      }
      closeBcg729EncoderChannel(encoder);
      return out;
    }
    case TestCodec::AmrOctetAligned: {
      void* encoder = Encoder_Interface_init(0);
      for (std::size_t k = 0; k < packets; ++k) {
        std::uint8_t frame[64];
        Encoder_Interface_Encode(encoder, MR122, audio.data() + k * 160, frame, 0);
        out.push_back({static_cast<std::uint32_t>(k * 160), AmrPayload(frame, false, true)});
      }
      Encoder_Interface_exit(encoder);
      return out;
    }
    case TestCodec::AmrWbBandwidthEfficient: {
      const std::vector<std::int16_t> wide = Upsample(audio, 2);
      void* encoder = E_IF_init();
      for (std::size_t k = 0; k < packets; ++k) {
        std::uint8_t frame[64];
        E_IF_encode(encoder, 2, wide.data() + k * 320, frame, 0);  // 12.65 kbit/s
        out.push_back({static_cast<std::uint32_t>(k * 320), AmrPayload(frame, true, false)});
      }
      E_IF_exit(encoder);
      return out;
    }
    case TestCodec::L16: {
      const std::vector<std::int16_t> wide = Upsample(audio, 2);
      for (std::size_t k = 0; k < packets; ++k) {
        Packet payload;
        for (std::size_t i = k * 320; i < (k + 1) * 320; ++i) {
          payload.push_back(static_cast<std::uint8_t>(static_cast<std::uint16_t>(wide[i]) >> 8));
          payload.push_back(static_cast<std::uint8_t>(wide[i] & 0xFF));
        }
        out.push_back({static_cast<std::uint32_t>(k * 320), payload});
      }
      return out;
    }
  }
  return out;
}

Packet CodecCapture(const CodecPlan& plan, const std::vector<SentPayload>& payloads,
                    const std::function<void(Packet&)>& protect, const std::vector<std::string>& sip) {
  const Ipv4 a{192, 0, 2, 1};
  const Ipv4 b{192, 0, 2, 2};
  CaptureWriter writer(CaptureFormat::Pcap, kLinkEthernet);
  for (std::size_t i = 0; i < sip.size(); ++i) {
    const Packet message(sip[i].begin(), sip[i].end());
    writer.Add(0.1 * static_cast<double>(i), Ethernet(i % 2 == 0 ? Ipv4Packet(a, b, Udp(5060, 5060, message))
                                                                 : Ipv4Packet(b, a, Udp(5060, 5060, message))));
  }
  if (!plan.rtpmap.empty() && sip.empty()) {
    const std::string map = std::to_string(plan.payloadType) + " " + plan.rtpmap;
    const std::string fmtp = plan.fmtp.empty() ? "" : std::to_string(plan.payloadType) + " " + plan.fmtp;
    writer.Add(0, Ethernet(Ipv4Packet(a, b, Udp(5060, 5060, SipInvite({map}, fmtp)))));
  }
  std::uint16_t sequence = 1000;
  for (const SentPayload& sent : payloads) {
    const double time = 0.5 + sent.ticks / static_cast<double>(plan.clock);
    Packet rtp = Rtp(plan.payloadType, sequence++, 7000 + sent.ticks, 0x600df00d, sent.payload);
    if (protect) protect(rtp);
    writer.Add(time, Ethernet(Ipv4Packet(a, b, Udp(4000, 5000, rtp))));
  }
  return writer.bytes();
}

SrtpProtector::SrtpProtector(const std::string& suite, const Packet& keySalt, std::uint32_t ssrc) {
  srtp_init();
  srtp_policy_t policy{};
  if (suite == "AES_CM_128_HMAC_SHA1_80") srtp_crypto_policy_set_aes_cm_128_hmac_sha1_80(&policy.rtp);
  if (suite == "AES_CM_128_HMAC_SHA1_32") srtp_crypto_policy_set_aes_cm_128_hmac_sha1_32(&policy.rtp);
  if (suite == "AEAD_AES_128_GCM") srtp_crypto_policy_set_aes_gcm_128_16_auth(&policy.rtp);
  if (suite == "AEAD_AES_256_GCM") srtp_crypto_policy_set_aes_gcm_256_16_auth(&policy.rtp);
  policy.rtcp = policy.rtp;
  policy.ssrc.type = ssrc_specific;
  policy.ssrc.value = ssrc;
  Packet key = keySalt;
  policy.key = key.data();
  srtp_t session = nullptr;
  if (srtp_create(&session, &policy) != srtp_err_status_ok) throw std::runtime_error("srtp_create");
  session_ = session;
}

SrtpProtector::~SrtpProtector() { srtp_dealloc(static_cast<srtp_t>(session_)); }

void SrtpProtector::operator()(Packet& rtp) {
  int length = static_cast<int>(rtp.size());
  rtp.resize(rtp.size() + SRTP_MAX_TRAILER_LEN);
  if (srtp_protect(static_cast<srtp_t>(session_), rtp.data(), &length) != srtp_err_status_ok) {
    throw std::runtime_error("srtp_protect");
  }
  rtp.resize(static_cast<std::size_t>(length));
}

std::vector<std::int16_t> UlawSamples(const Packet& bytes) {
  std::vector<std::int16_t> out;
  for (std::uint8_t b : bytes) out.push_back(UlawToLinear(b));
  return out;
}

}  // namespace quorvane::testing

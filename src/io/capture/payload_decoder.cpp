#include "io/capture/payload_decoder.h"

#include <algorithm>
#include <cstring>

#include "base/failure.h"
#include "io/capture/amr_payload.h"
#include "io/input_options.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
}

namespace quorvane::io {
namespace {

// One libavcodec decoder, fed one codec frame (or one whole payload) at a
// time, its output mixed down to mono 16-bit.
class AvCodec {
 public:
  AvCodec() = default;
  AvCodec(const AvCodec&) = delete;
  AvCodec& operator=(const AvCodec&) = delete;
  ~AvCodec() {
    av_frame_free(&frame_);
    av_packet_free(&packet_);
    avcodec_free_context(&context_);
  }

  struct Setup {
    AVCodecID id;
    int rate;
    int bitsPerCodedSample = 0;
    int blockAlign = 0;
  };

  bool Open(const Setup& setup, std::string* error) {
    // A malformed frame is the capture's fault, counted by its gap; the
    // library's own complaints about it would only clutter stderr.
    static const bool quiet = [] {
      av_log_set_level(AV_LOG_QUIET);
      return true;
    }();
    (void)quiet;
    const AVCodec* codec = avcodec_find_decoder(setup.id);
    if (codec == nullptr) return Fail(error, std::string("this libavcodec has no ") + avcodec_get_name(setup.id) + " decoder");
    context_ = avcodec_alloc_context3(codec);
    packet_ = av_packet_alloc();
    frame_ = av_frame_alloc();
    if (context_ == nullptr || packet_ == nullptr || frame_ == nullptr) return Fail(error, "out of memory");
    context_->sample_rate = setup.rate;
    av_channel_layout_default(&context_->ch_layout, 1);
    context_->bits_per_coded_sample = setup.bitsPerCodedSample;
    context_->block_align = setup.blockAlign;
    if (avcodec_open2(context_, codec, nullptr) < 0) {
      return Fail(error, std::string("libavcodec cannot open its ") + codec->name + " decoder");
    }
    return true;
  }

  void Feed(const std::uint8_t* bytes, std::size_t count, std::vector<std::int16_t>& out) {
    if (count == 0) return;
    // The library reads a little past a packet's end: it gets a padded copy.
    padded_.assign(bytes, bytes + count);
    padded_.resize(count + AV_INPUT_BUFFER_PADDING_SIZE, 0);
    packet_->data = padded_.data();
    packet_->size = static_cast<int>(count);
    if (avcodec_send_packet(context_, packet_) < 0) return;
    while (avcodec_receive_frame(context_, frame_) == 0) {
      Append(out);
      av_frame_unref(frame_);
    }
  }

 private:
  // Every sample format the decoders we open produce, as mono 16-bit.
  void Append(std::vector<std::int16_t>& out) {
    const int channels = std::max(1, frame_->ch_layout.nb_channels);
    const auto format = static_cast<AVSampleFormat>(frame_->format);
    const bool planar = av_sample_fmt_is_planar(format) != 0;
    const std::size_t start = out.size();
    out.resize(start + static_cast<std::size_t>(frame_->nb_samples));
    for (int i = 0; i < frame_->nb_samples; ++i) {
      double sum = 0;
      for (int c = 0; c < channels; ++c) {
        const int plane = planar ? c : 0;
        const int index = planar ? i : i * channels + c;
        switch (format) {
          case AV_SAMPLE_FMT_S16:
          case AV_SAMPLE_FMT_S16P: sum += reinterpret_cast<const std::int16_t*>(frame_->extended_data[plane])[index]; break;
          case AV_SAMPLE_FMT_S32:
          case AV_SAMPLE_FMT_S32P:
            sum += reinterpret_cast<const std::int32_t*>(frame_->extended_data[plane])[index] / 65536.0;
            break;
          case AV_SAMPLE_FMT_FLT:
          case AV_SAMPLE_FMT_FLTP:
            sum += reinterpret_cast<const float*>(frame_->extended_data[plane])[index] * 32768.0;
            break;
          default: break;
        }
      }
      const double value = sum / channels;
      out[start + static_cast<std::size_t>(i)] =
          static_cast<std::int16_t>(std::clamp(value < 0 ? value - 0.5 : value + 0.5, -32768.0, 32767.0));
    }
  }

  AVCodecContext* context_ = nullptr;
  AVPacket* packet_ = nullptr;
  AVFrame* frame_ = nullptr;
  std::vector<std::uint8_t> padded_;
};

std::unique_ptr<PayloadDecoder> Refuse(std::string* error, std::string reason) {
  Fail(error, std::move(reason));
  return nullptr;
}

void AppendSilence(std::size_t count, std::vector<std::int16_t>& out) { out.resize(out.size() + count, 0); }

// A whole payload is one codec packet (G.722, Opus).
class WholePayloadDecoder final : public PayloadDecoder {
 public:
  WholePayloadDecoder(int rate, std::uint32_t clockRate) : PayloadDecoder(rate, clockRate) {}
  AvCodec codec;
  void Decode(Bytes payload, std::vector<std::int16_t>& out) override { codec.Feed(payload.data(), payload.size(), out); }
};

// Payloads of whole frames of one size (GSM 06.10, G.729, iLBC, G.726 in
// its packing); G.729 Annex B ends a payload with a 2-byte comfort-noise
// frame, which plays as 10 ms of silence.
class FramedDecoder final : public PayloadDecoder {
 public:
  FramedDecoder(int rate, std::uint32_t clockRate, std::size_t frameBytes, std::size_t sidBytes,
                std::size_t sidSamples)
      : PayloadDecoder(rate, clockRate), frameBytes_(frameBytes), sidBytes_(sidBytes), sidSamples_(sidSamples) {}
  AvCodec codec;
  void Decode(Bytes payload, std::vector<std::int16_t>& out) override {
    std::size_t at = 0;
    for (; payload.size() - at >= frameBytes_; at += frameBytes_) codec.Feed(payload.data() + at, frameBytes_, out);
    if (sidBytes_ != 0 && payload.size() - at == sidBytes_) AppendSilence(sidSamples_, out);
  }

 private:
  std::size_t frameBytes_;
  std::size_t sidBytes_;
  std::size_t sidSamples_;
};

class AmrDecoder final : public PayloadDecoder {
 public:
  AmrDecoder(bool wideband, AmrPacking packing, bool interleaved)
      : PayloadDecoder(wideband ? 16000 : 8000, wideband ? 16000 : 8000),
        wideband_(wideband), packing_(packing), interleaved_(interleaved) {}
  AvCodec codec;
  void Decode(Bytes payload, std::vector<std::int16_t>& out) override {
    SplitAmrPayload(payload, wideband_, packing_, interleaved_, frames_);
    const std::size_t frameSamples = static_cast<std::size_t>(Rate() / 50);
    std::size_t begin = 0;
    for (std::size_t i = 0; i < frames_.ends.size(); ++i) {
      const std::size_t before = out.size();
      if (!frames_.silent[i]) codec.Feed(frames_.bytes.data() + begin, frames_.ends[i] - begin, out);
      // Each listed frame is 20 ms of the stream's time, decoded or not.
      if (out.size() < before + frameSamples) AppendSilence(before + frameSamples - out.size(), out);
      begin = frames_.ends[i];
    }
  }

 private:
  bool wideband_;
  AmrPacking packing_;
  bool interleaved_;
  AmrFrames frames_;
};

// L16 (RFC 3551 section 4.5.11): big-endian 16-bit samples, channels
// interleaved, mixed to mono here.
class L16Decoder final : public PayloadDecoder {
 public:
  L16Decoder(std::uint32_t rate, int channels)
      : PayloadDecoder(static_cast<int>(rate), rate), channels_(static_cast<std::size_t>(channels)) {}
  void Decode(Bytes payload, std::vector<std::int16_t>& out) override {
    const std::size_t frames = payload.size() / (2 * channels_);
    for (std::size_t i = 0; i < frames; ++i) {
      int sum = 0;
      for (std::size_t c = 0; c < channels_; ++c) {
        const std::uint8_t* at = payload.data() + 2 * (i * channels_ + c);
        sum += static_cast<std::int16_t>(static_cast<std::uint16_t>(at[0] << 8 | at[1]));
      }
      out.push_back(static_cast<std::int16_t>(sum / static_cast<int>(channels_)));
    }
  }

 private:
  std::size_t channels_;
};

// "G726-32" (RFC 3551 packing: first code word in the low bits) or
// "AAL2-G726-32" (ITU-T I.366.2 packing: first code word in the high bits).
std::unique_ptr<PayloadDecoder> MakeG726(const PayloadFormat& format, std::string* error) {
  const bool aal2 = format.encoding.size() > 5 && SameName(format.encoding.substr(0, 5), "AAL2-");
  const std::string rate = format.encoding.substr(format.encoding.size() - 2);
  const int bits = rate == "16" ? 2 : rate == "24" ? 3 : rate == "32" ? 4 : rate == "40" ? 5 : 0;
  if (bits == 0) return Refuse(error, "no G.726 rate in " + format.encoding);
  auto decoder = std::make_unique<WholePayloadDecoder>(8000, format.clockRate);
  if (!decoder->codec.Open({aal2 ? AV_CODEC_ID_ADPCM_G726 : AV_CODEC_ID_ADPCM_G726LE, 8000, bits}, error)) return nullptr;
  return decoder;
}

bool IsG726(std::string_view name) {
  for (const char* rate : {"16", "24", "32", "40"}) {
    if (SameName(name, std::string("G726-") + rate) || SameName(name, std::string("AAL2-G726-") + rate)) return true;
  }
  return false;
}

}  // namespace

bool PayloadDecoder::Knows(std::string_view encoding) {
  for (const char* name : {"G722", "opus", "GSM", "G729", "G729A", "iLBC", "AMR", "AMR-WB", "L16"}) {
    if (SameName(encoding, name)) return true;
  }
  return IsG726(encoding);
}

std::unique_ptr<PayloadDecoder> PayloadDecoder::Make(const PayloadFormat& format, std::string* error) {
  const std::string& name = format.encoding;
  if (format.clockRate == 0) return Refuse(error, "no RTP clock rate for " + name);
  if (SameName(name, "G722")) {
    auto decoder = std::make_unique<WholePayloadDecoder>(16000, format.clockRate);
    if (!decoder->codec.Open({AV_CODEC_ID_ADPCM_G722, 16000, 8}, error)) return nullptr;
    return decoder;
  }
  if (SameName(name, "opus")) {
    auto decoder = std::make_unique<WholePayloadDecoder>(48000, format.clockRate);
    if (!decoder->codec.Open({AV_CODEC_ID_OPUS, 48000}, error)) return nullptr;
    return decoder;
  }
  if (IsG726(name)) return MakeG726(format, error);
  if (SameName(name, "GSM")) {
    auto decoder = std::make_unique<FramedDecoder>(8000, format.clockRate, 33, 0, 0);
    if (!decoder->codec.Open({AV_CODEC_ID_GSM, 8000, 0, 33}, error)) return nullptr;
    return decoder;
  }
  if (SameName(name, "G729") || SameName(name, "G729A")) {
    auto decoder = std::make_unique<FramedDecoder>(8000, format.clockRate, 10, 2, 80);
    if (!decoder->codec.Open({AV_CODEC_ID_G729, 8000}, error)) return nullptr;
    return decoder;
  }
  if (SameName(name, "iLBC")) {
    // RFC 3952: 30 ms frames (50 bytes) unless fmtp says mode=20 (38 bytes).
    const bool twenty = FmtpValue(format.fmtp, "mode") == "20";
    auto decoder = std::make_unique<FramedDecoder>(8000, format.clockRate, twenty ? 38 : 50, 0, 0);
    if (!decoder->codec.Open({AV_CODEC_ID_ILBC, 8000, 0, twenty ? 38 : 50}, error)) return nullptr;
    return decoder;
  }
  if (SameName(name, "AMR") || SameName(name, "AMR-WB")) {
    const bool wideband = SameName(name, "AMR-WB");
    const bool interleaved = !FmtpValue(format.fmtp, "interleaving").empty();
    const bool octets = FmtpValue(format.fmtp, "octet-align") == "1" || interleaved;
    if (format.channels != 1) return Refuse(error, "AMR with more than one channel is not read");
    auto decoder = std::make_unique<AmrDecoder>(wideband, octets ? AmrPacking::OctetAligned : AmrPacking::BandwidthEfficient,
                                                interleaved);
    if (!decoder->codec.Open({wideband ? AV_CODEC_ID_AMR_WB : AV_CODEC_ID_AMR_NB, wideband ? 16000 : 8000}, error)) {
      return nullptr;
    }
    return decoder;
  }
  if (SameName(name, "L16")) {
    if (format.channels == 0) return Refuse(error, "L16 with no channels");
    if (format.clockRate < static_cast<std::uint32_t>(kMinRate) || format.clockRate > static_cast<std::uint32_t>(kMaxRate)) {
      return Refuse(error, "L16 at " + std::to_string(format.clockRate) + " Hz");
    }
    return std::make_unique<L16Decoder>(format.clockRate, format.channels);
  }
  return Refuse(error, "no decoder for " + CodecName(format));
}

}  // namespace quorvane::io

// Questions to the PulseAudio server (its sources, their formats) over a
// connection of our own, driven by a mainloop of its own until answered.
#pragma once

#include <string>
#include <vector>

#include <pulse/channelmap.h>
#include <pulse/sample.h>

struct pa_context;
struct pa_mainloop;
struct pa_operation;

namespace quorvane::io {

struct PulseSource {
  std::string name;
  std::string description;
  pa_sample_spec format{};
  pa_channel_map map{};
};

class PulseServer {
 public:
  PulseServer() = default;
  PulseServer(const PulseServer&) = delete;
  PulseServer& operator=(const PulseServer&) = delete;
  ~PulseServer();

  // Connects to the server the environment names, never starting one.
  bool Connect(std::string* error);
  bool DefaultSourceName(std::string* name, std::string* error);
  bool Source(const std::string& name, PulseSource* source, std::string* error);
  // Every source, monitors of sinks included.
  bool Sources(std::vector<PulseSource>* sources, std::string* error);

 private:
  bool Finish(pa_operation* operation, std::string* error);

  pa_mainloop* loop_ = nullptr;
  pa_context* context_ = nullptr;
};

}  // namespace quorvane::io

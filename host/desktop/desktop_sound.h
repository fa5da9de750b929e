#pragma once

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace host {

// The desktop's sound service (libcanberra), played on a thread of its own: opening a sound
// server that takes the connection and never answers blocks for half a minute, which must not
// be the host's. One sound waits at most; a sound asked for while one is stuck replaces it.
class DesktopSound {
 public:
  DesktopSound();
  // A thread still stuck in the sound service is left behind rather than waited for.
  ~DesktopSound();
  DesktopSound(const DesktopSound&) = delete;
  DesktopSound& operator=(const DesktopSound&) = delete;

  // A sound file, or the sound theme's event ("battery-low").
  void playFile(const std::string& path, const std::string& description);
  void playEvent(const std::string& eventId, const std::string& description);

 private:
  static constexpr std::chrono::seconds kPlayBound{2};
  struct Request {
    bool isEvent;
    std::string name, description;
  };
  struct Shared {
    std::mutex lock;
    std::condition_variable wake, idle;
    std::optional<Request> next;
    bool busy = false;
    bool stop = false;
  };
  void enqueue(Request request);
  static void run(std::shared_ptr<Shared> shared);

  std::shared_ptr<Shared> shared_;
  std::thread thread_;
};

}  // namespace host

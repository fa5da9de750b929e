#include "tests/support/silent_bus.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>

namespace testing_support {

SilentBus::SilentBus(const std::string& path, bool hangUp)
    : fd_(::socket(AF_UNIX, SOCK_STREAM, 0)), address_("unix:path=" + path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  EXPECT_EQ(::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0) << path;
  EXPECT_EQ(::listen(fd_, 4), 0) << path;
  if (!hangUp) return;
  closer_ = std::thread([this] {
    const int taken = ::accept(fd_, nullptr, nullptr);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    if (taken >= 0) ::close(taken);
  });
}

SilentBus::~SilentBus() {
  ::shutdown(fd_, SHUT_RDWR);
  if (closer_.joinable()) closer_.join();
  ::close(fd_);
}

}  // namespace testing_support

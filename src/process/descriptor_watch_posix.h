#pragma once

#include <functional>
#include <thread>

namespace probelyn {

// A thread of its own that waits for one descriptor to report any of the
// events (or an error or hang-up), tells `onReady` once, and ends; or ends
// without telling when the watch is destroyed first.
class DescriptorWatch {
  public:
    DescriptorWatch(int fd, short events, std::function<void()> onReady);
    ~DescriptorWatch();
    DescriptorWatch(const DescriptorWatch&) = delete;
    DescriptorWatch& operator=(const DescriptorWatch&) = delete;

  private:
    void Wait(int fd, short events);

    std::function<void()> onReady_;
    int finish_;
    std::thread thread_;
};

}  // namespace probelyn

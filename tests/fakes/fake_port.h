#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "port_component.h"
#include "port_failure.h"

// An in-memory port component. Each call is logged by member name; any member
// can be made to fail; Open and Close return scripted values; received bytes
// are whatever the test puts into `input`.
class FakePort : public PortComponent {
  public:
    void PortNumber(int n) override;
    int PortNumber() const override { return number_; }
    void BaudRate(int rate) override;
    int Open() override;
    int Close() override;
    int InputCount() override;
    std::string Read(int max) override;
    void Write(const std::string& bytes) override;
    void DiscardInput() override;

    // Makes the named member throw PortFailure(number, text) from now on.
    void Fail(const std::string& member, int number = 1, const std::string& text = "failed");
    void Heal(const std::string& member) { failures_.erase(member); }
    int Count(const std::string& member) const;

    int open_result = 1;
    // When not empty, Open returns the value for the line set, 0 for others.
    std::map<int, int> open_by_line;
    int close_result = 0;
    int rate = 0;
    bool is_open = false;
    std::string input;
    std::string written;
    std::vector<std::string> calls;

  protected:
    void Enter(const std::string& member);

  private:
    int number_ = 0;
    std::map<std::string, PortFailure> failures_;
};

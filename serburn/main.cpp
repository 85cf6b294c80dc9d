// serburn: console programmer for the on-chip flash of KV40 and KV41 microcontrollers.
#include <unistd.h>

#include <iostream>
#include <streambuf>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/console.h"
#include "platform/paths.h"
#include "platform/serial_port_linux.h"
#include "serburn/main_flow.h"

namespace {

// Passes output through and remembers its last character, so that a run shown on a
// terminal can end with a line break while redirected output stays byte for byte.
class LastCharacter : public std::streambuf {
 public:
  explicit LastCharacter(std::streambuf* target) : target_(target) {}
  char last() const { return last_; }

 protected:
  int_type overflow(int_type c) override {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    last_ = traits_type::to_char_type(c);
    return target_->sputc(last_);
  }
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    if (n > 0) last_ = s[n - 1];
    return target_->sputn(s, n);
  }
  int sync() override { return target_->pubsync(); }

 private:
  std::streambuf* target_;
  char last_ = '\n';
};

}  // namespace

int main(int argc, char** argv) {
  LastCharacter tracked(std::cout.rdbuf());
  std::ostream out(&tracked);
  platform::SerialPortLinux port(platform::RealClock());
  serburn::Environment env{port,
                           platform::RealClock(),
                           out,
                           [](const std::string& text) { platform::WriteToTerminal(text); },
                           [] { return platform::KeyWaiting(); },
                           platform::ProgramDirectory()};
  const std::vector<std::string> args(argv + 1, argv + argc);
  const int code = serburn::RunSerburn(args, env);
  if (isatty(STDOUT_FILENO) && tracked.last() != '\n') out << '\n';
  out.flush();
  return code;
}

// The simulated board: boot ROM (in the dialect chosen), the program it loads into RAM, and
// the flash. Transport-free: bytes come in with the rate the line ran at, bytes go out as
// chunks stamped with the rate the board sends at and the time they finish on the line.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "sim/chip_config.h"
#include "sim/event_log.h"
#include "sim/fault_plan.h"
#include "sim/flash_memory.h"

namespace kvsim {

// boot: the GUI programmer's boot ROM; kv40, kv41-604, kv41: the console programmer's BIROMs.
enum class Dialect { kBoot, kKv40, kKv41Old, kKv41 };
bool ParseDialect(const std::string& text, Dialect& dialect);
const char* DialectName(Dialect dialect);

enum class ResetMode { kBoot, kNormal };

struct BoardSettings {
  Dialect dialect = Dialect::kBoot;
  ChipConfig chip;
  int clockIndex = 0;         // the crystal fitted: position in chip.clocks
  uint32_t bootBaud = 0;      // boot-ROM rate; 0 = the chip's "Baud" entry
  uint32_t commandBaud = 0;   // program rate; 0 = the chip's "Baud2" entry (or twice "Baud")
  bool pace = false;          // bytes take their line time; erase and program take time
  uint32_t eraseMs = 0;
  uint32_t programMs = 0;     // per 512-byte block
  uint32_t blankMs = 0;
  uint32_t frameTimeoutMs = 1000;  // a frame left incomplete this long is dropped
  std::string flashImagePath;      // rewritten after every change; empty: kept in memory
};

// Writes of the flash image file: how many, and the wall time they took.
struct FlashSaveStats {
  uint64_t count = 0;
  double totalMs = 0;
  double maxMs = 0;
};

struct TxChunk {
  std::vector<uint8_t> bytes;
  uint32_t baud = 0;   // the rate the board sends at
  double dueMs = 0;    // when the bytes are through the line
};

class Board {
 public:
  Board(BoardSettings settings, FlashMemory& flash, FaultPlan& faults, EventLog& log);

  void Reset(ResetMode mode, const std::string& cause, double nowMs);
  // Bytes from the line, sent at lineBaud (the PC's rate).
  void Receive(const uint8_t* data, size_t count, uint32_t lineBaud, double nowMs);
  // Runs everything due up to nowMs, each event at its own time (the arrival of the byte
  // that completes a frame, the end of a flash operation), not at nowMs: replies are timed
  // from when the board could have sent them, however late the caller comes.
  void Process(double nowMs);
  // The earliest time Process has something to do (infinity when nothing): the arrival of
  // the byte a frame needs next, a pending operation, or an incomplete frame's time-out.
  double NextDueMs() const;
  // Pops the first output chunk due at nowMs. The flash image file is written first when
  // it has changed, so no reply reaches the line before the file shows the change.
  bool TakeOutput(double nowMs, TxChunk& chunk);
  double NextOutputMs() const;
  // When to hand output to the line next: like a UART's receive FIFO, the bytes due within
  // granuleMs of the first one go together, at the time the last of them is due; the last
  // byte before a pause always goes at its own time. 0: every byte at its own time.
  double NextDeliveryMs(double granuleMs) const;
  // Writes the flash image file if it has changed since it was last written.
  void FlushFlash();
  const FlashSaveStats& SaveStats() const { return saveStats_; }

  // True once an unplug fault has fired: the line is gone, the board takes in and sends
  // nothing more, and only output through the line before that moment is still handed out.
  bool Unplugged() const { return unplugged_; }

  uint32_t ListenBaud() const;
  uint32_t BootBaud() const;
  std::string StateName() const;
  void Log(double nowMs, const std::string& event, const std::vector<std::string>& fields);

 private:
  enum class State { kNormal, kHung, kBirom, kBiromData, kAutoErase, kProgram, kWriteFrame };
  enum class Step { kIdle, kConsumed, kNeedMore };

  struct Active {  // faults that fire at the current command
    bool noStatus = false, busy = false, reset = false, nul = false;
    bool crcWrite = false, writeFail = false, eraseFail = false, crcRead = false, shortRead = false, noise = false;
    uint32_t nulCount = 0, shortLength = 0;
    std::vector<uint8_t> notBlank;
  };
  struct Pending {
    double dueMs;
    std::function<void()> run;
  };
  struct RxByte {
    uint8_t value;
    double readyMs;
  };

  Step StepInput();
  Step StepBootRom();
  Step StepBirom604();
  Step StepBiromData();
  Step StepBiromKv41();
  Step StepProgram();
  Step StepWriteFrame();

  size_t Available() const;
  // Ends a frame of count bytes: takes them off the input and counts the frame.
  void Consume(size_t count);
  // Takes bytes off the input that are no frame (lost, ignored, dropped).
  void Discard(size_t count);
  // A step that waits for the frame's count-th byte (counted from the first unconsumed one).
  Step Need(size_t count) {
    needBytes_ = count;
    return Step::kNeedMore;
  }
  uint8_t Peek(size_t i) const { return input_[i].value; }
  void Drop(size_t n, const std::string& why);
  // After faults_.Count(op): arms an unplug fault that fires at this op (at once for 0 ms).
  void ArmUnplug(Operation op);
  void Unplug();

  void Send(const std::vector<uint8_t>& bytes, uint32_t baud);
  void SendBootReply(std::vector<uint8_t> bytes);
  void SendProgram(const std::vector<uint8_t>& bytes) { Send(bytes, programBaud_); }
  void Schedule(double delayMs, std::function<void()> run);
  void Complete(const Active& a, Operation op, const std::vector<uint8_t>& status);
  void EndlessBusy();
  void Hang(const std::string& why);
  Active Collect(Operation op);
  void Loaded(uint32_t address, std::vector<uint8_t> image);
  void Exec(uint32_t address, bool startAddressGiven, std::vector<uint8_t> replyPrefix);
  void RunAutoErase();
  uint32_t ProgramBaudFor(uint8_t clockByte) const;
  void SaveFlash();

  BoardSettings settings_;
  FlashMemory& flash_;
  FaultPlan& faults_;
  EventLog& log_;

  State state_ = State::kBirom;
  bool synced_ = false;
  bool loaded_ = false;
  std::vector<uint8_t> ram_;
  uint32_t loadAddress_ = 0;
  uint32_t pendingLoadAddress_ = 0;
  size_t pendingLoadLength_ = 0;
  uint32_t programBaud_ = 0;
  bool clockRight_ = false;  // the program's clock byte names the crystal fitted
  uint32_t writeAddress_ = 0;
  Active writeFaults_;
  uint32_t lastLineBaud_ = 0;

  std::deque<RxByte> input_;
  size_t needBytes_ = 1;  // input bytes the current step waits for
  double lastRxReadyMs_ = 0;
  double rxRunStartMs_ = 0;  // the run of back-to-back bytes arriving, as for sending
  uint64_t rxRunBytes_ = 0;
  uint32_t rxRunBaud_ = 0;
  std::optional<Pending> pending_;
  std::deque<TxChunk> output_;
  double txFreeMs_ = 0;
  // The run of back-to-back bytes being sent: each byte's time is counted from the run's
  // start, so rounding does not add up over a long reply.
  double txRunStartMs_ = 0;
  uint64_t txRunBytes_ = 0;
  uint32_t txRunBaud_ = 0;
  bool flashDirty_ = false;
  FlashSaveStats saveStats_;
  double nowMs_ = 0;
  // The unplug armed (infinity: none) and its fault text; unplugged_ once it has fired.
  double unplugAtMs_ = std::numeric_limits<double>::infinity();
  std::string unplugFault_;
  bool unplugged_ = false;
};

}  // namespace kvsim

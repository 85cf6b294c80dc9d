// Faults chosen for one run (--fault FAULT, repeatable). Each fault fires once, at the n-th
// occurrence of what it names; n counts from 1 over the whole run, resets included.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kvsim {

// What a fault acts on: the commands of the running program, the boot ROM's replies, and
// every frame the board takes in (a boot-ROM request, a command, a write block's data).
enum class Operation { kConnect, kErase, kBlank, kWrite, kRead, kExec, kAutoErase, kBootReply, kFrame };
inline constexpr size_t kOperationCount = static_cast<size_t>(Operation::kFrame) + 1;

enum class FaultType {
  kCrcWrite,    // crc-write=N: the n-th write frame is answered '5' (CRC error)
  kCrcRead,     // crc-read=N: the n-th read frame carries a wrong CRC
  kWriteFail,   // write-fail=N: the n-th write frame fails ('0' '4')
  kEraseFail,   // erase-fail=N: the n-th erase fails ('0' '4')
  kNotBlank,    // not-blank=N[:HEX12]: the n-th blank check says not blank, with these detail bytes
  kNoStatus,    // no-status=OP[:N]: the completion status never comes; the program hangs
  kEndlessBusy, // busy=OP[:N]: '0' forever instead of the completion status
  kBootReply,   // boot-reply=N:HH: the n-th boot-ROM reply starts with HH instead
  kShortRead,   // short-read=N[:LEN]: the n-th read frame stops after LEN bytes, then '1'
  kNulBefore,   // nul=OP[:N[:COUNT]]: COUNT NUL bytes before the completion status
  kReset,       // reset=OP[:N]: the board resets into boot mode in the middle of the operation
  kNoise,       // noise=N: line garbage inside the n-th read frame
  kAutoEraseFail,  // ae-fail=N: the n-th auto-erase run answers 0x34 instead of 0xFF
  kUnplug,      // unplug-after-frame=N, unplug-after-ms=MS[:OP[:N]]: the line vanishes
};

struct Fault {
  FaultType type = FaultType::kCrcWrite;
  Operation operation = Operation::kWrite;
  uint32_t nth = 1;
  uint32_t value = 0;             // LEN, COUNT, MS or the reply byte
  std::vector<uint8_t> detail;    // not-blank detail bytes
  std::string text;               // as given
  bool used = false;
};

class FaultPlan {
 public:
  // Adds one fault. Returns an empty string, or what is wrong with text.
  std::string Add(const std::string& text);

  // Counts one occurrence of op and returns the faults of the given type that fire at it
  // (marked used). Call Count once per occurrence, then Fires for each type of interest.
  uint32_t Count(Operation op);
  Fault* Fires(FaultType type, Operation op);

  const std::vector<Fault>& Faults() const { return faults_; }

 private:
  std::vector<Fault> faults_;
  uint32_t counts_[kOperationCount] = {};
};

const char* OperationName(Operation op);

// The text of --help that lists the faults.
const char* FaultHelpText();

}  // namespace kvsim

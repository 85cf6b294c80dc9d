#include "sim/fault_plan.h"

#include <cstdlib>

namespace kvsim {

namespace {

struct OperationNameEntry {
  const char* name;
  Operation op;
};

constexpr OperationNameEntry kOperations[] = {
    {"connect", Operation::kConnect}, {"erase", Operation::kErase},   {"blank", Operation::kBlank},
    {"write", Operation::kWrite},     {"read", Operation::kRead},     {"exec", Operation::kExec},
    {"autoerase", Operation::kAutoErase},
};

bool ParseOperation(const std::string& text, Operation& op) {
  for (const auto& e : kOperations) {
    if (text == e.name) {
      op = e.op;
      return true;
    }
  }
  return false;
}

bool ParseNumber(const std::string& text, int base, uint32_t& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  const unsigned long v = std::strtoul(text.c_str(), &end, base);
  if (*end != '\0' || v > 0xFFFFFFFFul) return false;
  value = static_cast<uint32_t>(v);
  return true;
}

std::vector<std::string> SplitColons(const std::string& text) {
  std::vector<std::string> parts;
  size_t from = 0;
  while (true) {
    const size_t colon = text.find(':', from);
    parts.push_back(text.substr(from, colon == std::string::npos ? std::string::npos : colon - from));
    if (colon == std::string::npos) break;
    from = colon + 1;
  }
  return parts;
}

constexpr uint32_t kMaxUnplugMs = 3600000;

}  // namespace

const char* OperationName(Operation op) {
  for (const auto& e : kOperations) {
    if (e.op == op) return e.name;
  }
  return op == Operation::kFrame ? "frame" : "boot-reply";
}

std::string FaultPlan::Add(const std::string& text) {
  const size_t eq = text.find('=');
  const std::string name = text.substr(0, eq);
  const std::vector<std::string> args =
      eq == std::string::npos ? std::vector<std::string>{} : SplitColons(text.substr(eq + 1));
  Fault f;
  f.text = text;
  const std::string bad = "bad fault '" + text + "'";
  auto nthAt = [&](size_t i) { return i >= args.size() || ParseNumber(args[i], 10, f.nth); };

  struct Simple {
    const char* name;
    FaultType type;
    Operation op;
  };
  static constexpr Simple kCounted[] = {
      {"crc-write", FaultType::kCrcWrite, Operation::kWrite},
      {"crc-read", FaultType::kCrcRead, Operation::kRead},
      {"write-fail", FaultType::kWriteFail, Operation::kWrite},
      {"erase-fail", FaultType::kEraseFail, Operation::kErase},
      {"noise", FaultType::kNoise, Operation::kRead},
      {"ae-fail", FaultType::kAutoEraseFail, Operation::kAutoErase},
  };
  for (const auto& s : kCounted) {
    if (name == s.name) {
      f.type = s.type;
      f.operation = s.op;
      if (args.size() > 1 || !nthAt(0) || f.nth == 0) return bad;
      faults_.push_back(f);
      return "";
    }
  }
  if (name == "not-blank") {
    f.type = FaultType::kNotBlank;
    f.operation = Operation::kBlank;
    f.detail = {0x00, 0xFE, 0x00, 0x10, 0x12, 0x34};
    if (args.size() > 2 || !nthAt(0)) return bad;
    if (args.size() == 2) {
      if (args[1].size() != 12) return bad + ": give 6 detail bytes as 12 hex digits";
      for (size_t i = 0; i < 6; ++i) {
        uint32_t b = 0;
        if (!ParseNumber(args[1].substr(i * 2, 2), 16, b)) return bad;
        f.detail[i] = static_cast<uint8_t>(b);
      }
    }
  } else if (name == "no-status" || name == "busy" || name == "nul" || name == "reset") {
    f.type = name == "no-status" ? FaultType::kNoStatus
             : name == "busy"    ? FaultType::kEndlessBusy
             : name == "nul"     ? FaultType::kNulBefore
                                 : FaultType::kReset;
    const size_t maxArgs = f.type == FaultType::kNulBefore ? 3 : 2;
    if (args.empty() || args.size() > maxArgs || !ParseOperation(args[0], f.operation) || !nthAt(1)) return bad;
    // Only a status that never comes applies to starting programs; the rest act on commands.
    const bool startsProgram = f.operation == Operation::kExec || f.operation == Operation::kAutoErase;
    if (startsProgram && f.type != FaultType::kNoStatus) return bad + ": only no-status takes exec or autoerase";
    f.value = 3;
    if (args.size() == 3 && !ParseNumber(args[2], 10, f.value)) return bad;
  } else if (name == "boot-reply") {
    f.type = FaultType::kBootReply;
    f.operation = Operation::kBootReply;
    if (args.size() != 2 || !nthAt(0) || !ParseNumber(args[1], 16, f.value) || f.value > 0xFF) return bad;
  } else if (name == "short-read") {
    f.type = FaultType::kShortRead;
    f.operation = Operation::kRead;
    f.value = 300;
    if (args.size() > 2 || !nthAt(0)) return bad;
    if (args.size() == 2 && (!ParseNumber(args[1], 10, f.value) || f.value >= 515)) return bad;
  } else if (name == "unplug-after-frame") {
    f.type = FaultType::kUnplug;
    f.operation = Operation::kFrame;
    if (args.size() != 1 || !nthAt(0)) return bad;
  } else if (name == "unplug-after-ms") {
    f.type = FaultType::kUnplug;
    f.operation = Operation::kFrame;  // without OP: counted from the first frame
    if (args.empty() || args.size() > 3 || !ParseNumber(args[0], 10, f.value) || f.value > kMaxUnplugMs) return bad;
    if (args.size() > 1 && !ParseOperation(args[1], f.operation)) return bad;
    if (!nthAt(2)) return bad;
  } else {
    return "unknown fault '" + text + "'";
  }
  if (f.nth == 0) return bad + ": counts start at 1";
  faults_.push_back(f);
  return "";
}

uint32_t FaultPlan::Count(Operation op) { return ++counts_[static_cast<size_t>(op)]; }

Fault* FaultPlan::Fires(FaultType type, Operation op) {
  const uint32_t n = counts_[static_cast<size_t>(op)];
  for (Fault& f : faults_) {
    if (!f.used && f.type == type && f.operation == op && f.nth == n) {
      f.used = true;
      return &f;
    }
  }
  return nullptr;
}

const char* FaultHelpText() {
  return "Faults (--fault FAULT, repeatable; each fires once, at the N-th occurrence counted\n"
         "from 1 over the whole run; N defaults to 1; OP is one of connect, erase, blank,\n"
         "write, read; no-status and unplug-after-ms also take exec and autoerase):\n"
         "  crc-write=N          the N-th write frame is answered '5' (CRC error), nothing written\n"
         "  crc-read=N           the N-th read frame goes out with its CRC high byte plus 1\n"
         "  write-fail=N         the N-th write frame is answered '0' '4' (write failure)\n"
         "  erase-fail=N         the N-th erase is answered '0' '4', nothing erased\n"
         "  not-blank=N[:HEX12]  the N-th blank check answers '0' '4' and these 6 detail bytes\n"
         "                       (default 00FE00101234) whatever the flash holds\n"
         "  no-status=OP[:N]     the completion status of the N-th OP never comes; the program\n"
         "                       hangs until the next reset (exec: the started program never answers)\n"
         "  busy=OP[:N]          endless busy: '0' every 500 ms instead of the completion status\n"
         "  boot-reply=N:HH      the N-th reply of the boot ROM (sync, load, start answers,\n"
         "                       counted together; not the kv41 'F' to 'V') begins with HH\n"
         "  short-read=N[:LEN]   the N-th read frame stops after LEN bytes (default 300), as if\n"
         "                       the rest were lost on the line; 300 ms later the '1' follows\n"
         "  nul=OP[:N[:COUNT]]   COUNT NUL bytes (default 3) before the completion status of the\n"
         "                       N-th OP (for read: before the '1' that ends the frame)\n"
         "  reset=OP[:N]         the board resets into boot mode in the middle of the N-th OP:\n"
         "                       erase after half of the flash, write after half of the frame,\n"
         "                       read after half of the frame, others after the acknowledgement\n"
         "  noise=N              line garbage: bytes 128..135 of the N-th read frame arrive\n"
         "                       mangled, as after a framing error (a pseudo-terminal cannot\n"
         "                       carry a real one)\n"
         "  ae-fail=N            the N-th auto-erase run answers 0x34 instead of 0xFF\n"
         "  unplug-after-frame=N the line vanishes, as when a USB adapter is pulled, once the\n"
         "                       N-th frame has arrived and before the board answers it. A frame\n"
         "                       is every request taken in whole: a boot-ROM sync byte, 'V',\n"
         "                       load, FILE, module data or start frame; a program command; a\n"
         "                       write block's 514 bytes\n"
         "  unplug-after-ms=MS[:OP[:N]]\n"
         "                       the line vanishes MS milliseconds after the N-th OP arrived\n"
         "                       (without OP: after the first frame), also while the board is\n"
         "                       busy with it; what is through the line by then arrives.\n"
         "                       After either unplug kvsim closes the pseudo-terminal: a\n"
         "                       programmer holding it sees a hang-up (reads and writes fail)\n"
         "                       and cannot open it again, the link PATH is removed, the board\n"
         "                       does nothing more, the event log gets \"unplug\", and kvsim\n"
         "                       stays until SIGTERM, SIGINT or \"quit\" as before\n";
}

}  // namespace kvsim

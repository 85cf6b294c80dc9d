// The boot ROMs of the simulated board, and the start of the program they load.
#include "sim/board.h"

#include "sim/board_codes.h"
#include "sim/program_image.h"

namespace kvsim {

using namespace codes;

// The GUI programmer's boot ROM and the KV40 BIROM: 0x18 sync, 0x00 load frame with 16-bit
// address and length and an 8-bit sum, 0x40 and four 0x00 to start.
Board::Step Board::StepBootRom() {
  const bool option = settings_.chip.downloadOption;
  const uint8_t b = Peek(0);
  if (b == 0x18) {
    Consume(1);
    synced_ = true;
    SendBootReply({option ? kOptionSyncAnswer : kSyncAnswer});
    return Step::kConsumed;
  }
  if (!synced_ && !option) {
    Drop(1, "boot ROM not yet synchronised");
    return Step::kConsumed;
  }
  if (b == 0x00) {
    if (Available() < 5) return Need(5);
    const size_t length = (static_cast<size_t>(Peek(3)) << 8) | Peek(4);
    if (Available() < 6 + length) return Need(6 + length);
    uint8_t sum = 0;
    for (size_t i = 1; i < 5 + length; ++i) sum = static_cast<uint8_t>(sum + Peek(i));
    const uint32_t address = (static_cast<uint32_t>(Peek(1)) << 8) | Peek(2);
    std::vector<uint8_t> image;
    for (size_t i = 0; i < length; ++i) image.push_back(Peek(5 + i));
    const bool ok = sum == Peek(5 + length) && length > 0;
    Consume(6 + length);
    Log(nowMs_, "load", {JsonAddress("address", address), JsonField("length", length), JsonBool("ok", ok)});
    if (ok) Loaded(address, std::move(image));
    // The GUI programmer's boot ROM wants a new sync after a load before it starts anything.
    if (settings_.dialect == Dialect::kBoot) synced_ = false;
    SendBootReply({ok ? (option ? kOptionLoadAccepted : kLoadAccepted) : kLoadRefused});
    return Step::kConsumed;
  }
  if (b == 0x40) {
    if (Available() < 5) return Need(5);
    if (Peek(1) != 0 || Peek(2) != 0 || Peek(3) != 0 || Peek(4) != 0) {
      Drop(1, "start command without its four zero bytes");
      return Step::kConsumed;
    }
    Consume(5);
    Exec(loadAddress_, false, {});
    return Step::kConsumed;
  }
  Drop(1, "not a boot ROM command");
  return Step::kConsumed;
}

// The older KV41 BIROM: 0x18 sync; FILE header 0x00, 32-bit address and length (most
// significant byte first), sum; then the data with their sum; 0x40, eight 0x00, 0x40 to start.
Board::Step Board::StepBirom604() {
  const uint8_t b = Peek(0);
  if (b == 0x18) {
    Consume(1);
    synced_ = true;
    SendBootReply({kSyncAnswer});
    return Step::kConsumed;
  }
  if (!synced_) {
    Drop(1, "BIROM not yet synchronised");
    return Step::kConsumed;
  }
  if (b == 0x00) {
    if (Available() < 10) return Need(10);
    uint8_t sum = 0;
    for (size_t i = 0; i < 9; ++i) sum = static_cast<uint8_t>(sum + Peek(i));
    uint32_t address = 0;
    uint32_t length = 0;
    for (size_t i = 0; i < 4; ++i) {
      address = (address << 8) | Peek(1 + i);
      length = (length << 8) | Peek(5 + i);
    }
    const bool ok = sum == Peek(9) && length >= 1 && length <= kMaxKv41Module;
    Consume(10);
    Log(nowMs_, "file", {JsonAddress("address", address), JsonField("length", length), JsonBool("ok", ok)});
    if (ok) {
      pendingLoadAddress_ = address;
      pendingLoadLength_ = length;
      state_ = State::kBiromData;
    }
    SendBootReply({ok ? kLoadAccepted : kLoadRefused});
    return Step::kConsumed;
  }
  if (b == 0x40) {
    if (Available() < 10) return Need(10);
    bool ok = Peek(9) == 0x40;
    for (size_t i = 1; i < 9; ++i) ok = ok && Peek(i) == 0;
    if (!ok) {
      Drop(1, "EXEC frame malformed");
      return Step::kConsumed;
    }
    Consume(10);
    Exec(loadAddress_, false, {});
    return Step::kConsumed;
  }
  Drop(1, "not a BIROM command");
  return Step::kConsumed;
}

Board::Step Board::StepBiromData() {
  if (Available() < pendingLoadLength_ + 1) return Need(pendingLoadLength_ + 1);
  uint8_t sum = 0;
  std::vector<uint8_t> image;
  for (size_t i = 0; i < pendingLoadLength_; ++i) {
    sum = static_cast<uint8_t>(sum + Peek(i));
    image.push_back(Peek(i));
  }
  const bool ok = sum == Peek(pendingLoadLength_);
  Consume(pendingLoadLength_ + 1);
  state_ = State::kBirom;
  Log(nowMs_, "load",
      {JsonAddress("address", pendingLoadAddress_), JsonField("length", pendingLoadLength_), JsonBool("ok", ok)});
  if (ok) Loaded(pendingLoadAddress_, std::move(image));
  SendBootReply({ok ? kLoadAccepted : kLoadRefused});
  return Step::kConsumed;
}

// The newer KV41 BIROM: 'V' answered by 'F' (baud detection); frames 0x01 0x03 (load:
// 24-bit address and 16-bit length, least significant byte first, no sum) answered
// F1 83 sum-low sum-high; 0x01 0x04 and a 32-bit start address, confirmed by its first three
// bytes again, answered F1 84 and the started program's '1'. Refusals answer F2 and the code.
Board::Step Board::StepBiromKv41() {
  const uint8_t b = Peek(0);
  if (b == 'V') {
    Consume(1);
    synced_ = true;
    Send({'F'}, BootBaud());
    return Step::kConsumed;
  }
  if (!synced_) {
    Drop(1, "BIROM not yet synchronised");
    return Step::kConsumed;
  }
  if (b != 0x01) {
    Drop(1, "not a BIROM frame");
    return Step::kConsumed;
  }
  if (Available() < 2) return Need(2);
  const uint8_t command = Peek(1);
  if (command == 0x03) {
    if (Available() < 8) return Need(8);
    const uint32_t address = Peek(2) | (static_cast<uint32_t>(Peek(3)) << 8) | (static_cast<uint32_t>(Peek(4)) << 16);
    const size_t length = Peek(6) | (static_cast<size_t>(Peek(7)) << 8);
    if (Available() < 8 + length) return Need(8 + length);
    std::vector<uint8_t> image;
    uint16_t sum = 0;
    for (size_t i = 0; i < length; ++i) {
      image.push_back(Peek(8 + i));
      sum = static_cast<uint16_t>(sum + Peek(8 + i));
    }
    Consume(8 + length);
    const bool ok = length >= 1 && length <= kMaxKv41Module;
    Log(nowMs_, "load", {JsonAddress("address", address), JsonField("length", length), JsonBool("ok", ok)});
    if (ok) {
      Loaded(address, std::move(image));
      SendBootReply({0xF1, 0x83, static_cast<uint8_t>(sum), static_cast<uint8_t>(sum >> 8)});
    } else {
      SendBootReply({0xF2, 0x83, 0x00, 0x00});
    }
    return Step::kConsumed;
  }
  if (command == 0x04) {
    if (Available() < 9) return Need(9);
    const uint32_t address = Peek(2) | (static_cast<uint32_t>(Peek(3)) << 8) |
                             (static_cast<uint32_t>(Peek(4)) << 16) | (static_cast<uint32_t>(Peek(5)) << 24);
    const bool confirmed = Peek(6) == 0x01 && Peek(7) == 0x04 && Peek(8) == Peek(2);
    Consume(9);
    if (!confirmed) {
      Log(nowMs_, "exec", {JsonAddress("address", address), JsonBool("ok", false),
                           JsonField("why", "start frame not confirmed by its first three bytes")});
      SendBootReply({0xF2, 0x84, 0x00});
      return Step::kConsumed;
    }
    Exec(address, true, {0xF1, 0x84});
    return Step::kConsumed;
  }
  Drop(2, "unknown BIROM frame");
  return Step::kConsumed;
}

void Board::Loaded(uint32_t address, std::vector<uint8_t> image) {
  ram_ = std::move(image);
  loadAddress_ = address;
  loaded_ = true;
}

uint32_t Board::ProgramBaudFor(uint8_t clockByte) const {
  const ChipConfig& chip = settings_.chip;
  const size_t actual = static_cast<size_t>(settings_.clockIndex);
  if (clockByte >= chip.clocks.size()) return 1;  // a table look-up past its end: no usable rate
  if (clockByte == actual) return settings_.commandBaud != 0 ? settings_.commandBaud : chip.commandBauds[actual];
  // The program takes the rate of the crystal it was told about.
  return chip.commandBauds[clockByte];
}

void Board::Exec(uint32_t address, bool startAddressGiven, std::vector<uint8_t> replyPrefix) {
  faults_.Count(Operation::kExec);
  ArmUnplug(Operation::kExec);
  std::vector<std::string> fields = {JsonAddress("address", address)};
  auto fail = [&](const std::string& why) {
    fields.push_back(JsonBool("ok", false));
    fields.push_back(JsonField("why", why));
    Log(nowMs_, "exec", fields);
    if (!replyPrefix.empty()) SendBootReply(replyPrefix);  // the BIROM jumped; the program is silent
    Hang(why);
  };
  if (!loaded_) return fail("nothing loaded");
  ProgramInfo info;
  const std::string problem = CheckProgram(ram_, info);
  if (!problem.empty()) return fail(problem);
  const bool wide = settings_.dialect == Dialect::kKv41Old || settings_.dialect == Dialect::kKv41;
  const uint32_t link = wide ? info.linkAddress : (info.linkAddress & 0xFFFFu);
  if (loadAddress_ != link) return fail("loaded at the wrong address (program linked for another)");
  if (startAddressGiven && address != info.linkAddress) return fail("started at the wrong address");
  if (const Fault* f = faults_.Fires(FaultType::kNoStatus, Operation::kExec)) {
    Log(nowMs_, "fault", {JsonField("fault", f->text)});
    return fail("fault: the program never answers");
  }
  const uint32_t expectedClock = static_cast<uint32_t>(settings_.clockIndex);
  programBaud_ = ProgramBaudFor(info.clockByte);
  clockRight_ = info.clockByte == expectedClock;
  fields.push_back(JsonBool("ok", true));
  fields.push_back(JsonField("kind", std::string(1, static_cast<char>(info.kind))));
  fields.push_back(JsonField("clock_byte", info.clockByte));
  fields.push_back(JsonField("clock_index", expectedClock));
  fields.push_back(JsonField("program_baud", programBaud_));
  Log(nowMs_, "exec", fields);
  // The started program answers '1' on the line as the boot ROM left it.
  std::vector<uint8_t> reply = replyPrefix;
  reply.push_back(kStatusDone);
  SendBootReply(reply);
  if (info.kind == ProgramKind::kAutoErase) {
    RunAutoErase();
    return;
  }
  state_ = State::kProgram;
}

void Board::RunAutoErase() {
  state_ = State::kAutoErase;
  faults_.Count(Operation::kAutoErase);
  ArmUnplug(Operation::kAutoErase);
  const Fault* hang = faults_.Fires(FaultType::kNoStatus, Operation::kAutoErase);
  const Fault* fail = faults_.Fires(FaultType::kAutoEraseFail, Operation::kAutoErase);
  const std::string what = hang != nullptr ? hang->text : fail != nullptr ? fail->text : "";
  // Already erased sectors are skipped: a blank flash takes no time.
  const bool anyData = flash_.FirstNotBlank(flash_.Base()).has_value();
  Schedule(anyData ? settings_.eraseMs : 0, [this, hang = hang != nullptr, fail = fail != nullptr, what] {
    if (!what.empty()) Log(nowMs_, "fault", {JsonField("fault", what)});
    if (hang) {
      Hang("auto-erase never finishes");
      return;
    }
    if (!fail) {
      flash_.EraseFrom(flash_.Base());
      SaveFlash();
    }
    Log(nowMs_, "autoerase", {JsonBool("ok", !fail)});
    Send({fail ? uint8_t{0x34} : uint8_t{0xFF}}, BootBaud());
    state_ = State::kBirom;  // back in BIROM, still synchronised
  });
}

}  // namespace kvsim

// Reply codes and sizes of the simulated board, shared by its parts.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kvsim::codes {

constexpr size_t kBlockSize = 512;
constexpr size_t kMaxKv41Module = 0x3000;
constexpr double kBusyRepeatMs = 500;
constexpr double kShortFramePauseMs = 300;

// Boot ROM replies.
constexpr uint8_t kSyncAnswer = 0x11;
constexpr uint8_t kLoadAccepted = 0x01;
constexpr uint8_t kLoadRefused = 0x15;
// The boot ROM of a chip with DownloadOption=1 needs no sync and answers other codes.
constexpr uint8_t kOptionSyncAnswer = 0x13;
constexpr uint8_t kOptionLoadAccepted = 0x06;

// Status bytes of the program in RAM.
constexpr uint8_t kStatusBusy = '0';
constexpr uint8_t kStatusDone = '1';
constexpr uint8_t kStatusFailed = '4';
constexpr uint8_t kStatusCrcError = '5';

}  // namespace kvsim::codes

#include "tests/sim/mini_host.h"

#include <fstream>
#include <iterator>
#include <thread>

namespace kvsim_test {

uint16_t XmodemCrc(const uint8_t* data, size_t length) {
  uint16_t crc = 0;
  for (size_t i = 0; i < length; ++i) {
    crc = static_cast<uint16_t>(crc ^ (data[i] << 8));
    for (int b = 0; b < 8; ++b) {
      crc = static_cast<uint16_t>((crc & 0x8000) != 0 ? (crc << 1) ^ 0x1021 : crc << 1);
    }
  }
  return crc;
}

bool MiniHost::Open(const std::string& device, uint32_t baud) {
  return port_.Open(device) && port_.SetBaudRate(baud);
}

bool MiniHost::Send(const Bytes& bytes) {
  const platform::IoResult r = port_.Write(bytes.data(), bytes.size());
  return r.ok && r.count == bytes.size();
}

Bytes MiniHost::Receive(size_t count, uint32_t timeoutMs) {
  platform::SerialTimeouts t;
  t.readTotalConstantMs = timeoutMs;
  port_.SetTimeouts(t);
  Bytes buffer(count);
  const platform::IoResult r = port_.Read(buffer.data(), count);
  receiveFailed_ = !r.ok;
  buffer.resize(r.count);
  return buffer;
}

std::optional<uint8_t> MiniHost::ReceiveByte(uint32_t timeoutMs) {
  const Bytes b = Receive(1, timeoutMs);
  if (b.empty()) return std::nullopt;
  return b[0];
}

Bytes MiniHost::BootRomDownload(const Bytes& image, uint16_t loadAddress) {
  Bytes replies;
  auto reply = [&](uint32_t timeoutMs) { replies.push_back(ReceiveByte(timeoutMs).value_or(0xFF)); };
  Send({0x18});
  reply(1000);
  const Bytes frame = BootLoadFrame(image, loadAddress);
  Send(frame);
  reply(3000);
  Send({0x18});
  reply(3000);
  Send({0x40, 0, 0, 0, 0});
  reply(1000);
  return replies;
}

Bytes MiniHost::Kv41OldDownload(const Bytes& image, uint32_t loadAddress) {
  Bytes replies;
  Send({0x18});
  const Bytes s = Receive(1, 1000);
  replies.insert(replies.end(), s.begin(), s.end());
  Bytes header = {0x00};
  for (int shift = 24; shift >= 0; shift -= 8) header.push_back(static_cast<uint8_t>(loadAddress >> shift));
  for (int shift = 24; shift >= 0; shift -= 8) header.push_back(static_cast<uint8_t>(image.size() >> shift));
  uint8_t sum = 0;
  for (uint8_t b : header) sum = static_cast<uint8_t>(sum + b);
  header.push_back(sum);
  Send(header);
  const Bytes h = Receive(1, 1000);
  replies.insert(replies.end(), h.begin(), h.end());
  Bytes data = image;
  sum = 0;
  for (uint8_t b : image) sum = static_cast<uint8_t>(sum + b);
  data.push_back(sum);
  Send(data);
  const Bytes d = Receive(1, 1000);
  replies.insert(replies.end(), d.begin(), d.end());
  Send({0x40, 0, 0, 0, 0, 0, 0, 0, 0, 0x40});
  const Bytes e = Receive(1, 1000);
  replies.insert(replies.end(), e.begin(), e.end());
  return replies;
}

Bytes MiniHost::Kv41Sync() {
  for (int i = 0; i < 7; ++i) {
    Send({'V'});
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return Receive(7, 500);
}

Bytes MiniHost::Kv41Load(const Bytes& image, uint32_t loadAddress) {
  Bytes frame = {0x01,
                 0x03,
                 static_cast<uint8_t>(loadAddress),
                 static_cast<uint8_t>(loadAddress >> 8),
                 static_cast<uint8_t>(loadAddress >> 16),
                 0x00,
                 static_cast<uint8_t>(image.size()),
                 static_cast<uint8_t>(image.size() >> 8)};
  frame.insert(frame.end(), image.begin(), image.end());
  Purge();
  Send(frame);
  return Receive(4, 1000);
}

Bytes MiniHost::Kv41Start(uint32_t address) {
  const Bytes frame = {0x01, 0x04, static_cast<uint8_t>(address), static_cast<uint8_t>(address >> 8),
                       static_cast<uint8_t>(address >> 16), static_cast<uint8_t>(address >> 24)};
  Send(frame);
  Send({frame[0], frame[1], frame[2]});
  return Receive(3, 1000);
}

Bytes MiniHost::Command(uint8_t code, uint32_t address, uint32_t timeoutMs) {
  Send({code, static_cast<uint8_t>(address), static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address >> 16)});
  Bytes got;
  while (true) {
    const auto b = ReceiveByte(timeoutMs);
    if (!b) return got;
    got.push_back(*b);
    if (*b != '0' && *b != 0x00) return got;
  }
}

Bytes MiniHost::WriteBlock(uint32_t address, const Bytes& data, bool corruptCrc) {
  const Bytes ack = Command(0x08, address);
  if (ack != Bytes{'0', '1'}) return ack;
  Bytes frame = data;
  const uint16_t crc = XmodemCrc(data.data(), data.size());
  frame.push_back(static_cast<uint8_t>((crc >> 8) + (corruptCrc ? 1 : 0)));
  frame.push_back(static_cast<uint8_t>(crc));
  Send(frame);
  Bytes status;
  while (true) {
    const auto b = ReceiveByte(1000);
    if (!b) return status;
    status.push_back(*b);
    if (*b != '0') return status;
  }
}

Bytes MiniHost::ReadBlock(uint32_t address, Bytes& frame) {
  const Bytes ack = Command(0x28, address);
  frame.clear();
  if (ack != Bytes{'0', '1'}) return ack;
  frame = Receive(515, 1000);
  return ack;
}

Bytes BootLoadFrame(const Bytes& image, uint16_t loadAddress) {
  Bytes frame;
  frame.reserve(image.size() + 6);
  frame.push_back(0x00);
  frame.push_back(static_cast<uint8_t>(loadAddress >> 8));
  frame.push_back(static_cast<uint8_t>(loadAddress));
  frame.push_back(static_cast<uint8_t>(image.size() >> 8));
  frame.push_back(static_cast<uint8_t>(image.size()));
  uint8_t sum = 0;
  for (size_t i = 1; i < frame.size(); ++i) sum = static_cast<uint8_t>(sum + frame[i]);
  for (uint8_t b : image) {
    frame.push_back(b);
    sum = static_cast<uint8_t>(sum + b);
  }
  frame.push_back(sum);
  return frame;
}

Bytes WithClockByte(Bytes image, uint8_t clockByte) {
  image.at(2) = clockByte;
  return image;
}

Bytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace kvsim_test

#include "serburn/read_out_writer.h"

#include "serburn/binary_writer.h"
#include "serburn/s2_writer.h"

namespace serburn {

namespace {

bool EndsWith(std::string_view name, std::string_view ending) {
  return name.size() >= ending.size() && name.substr(name.size() - ending.size()) == ending;
}

}  // namespace

const ReadOutWriter& ReadOutWriterFor(const std::string& fileName) {
  static const S2Writer s2;
  static const BinaryWriter binary;
  static const ReadOutWriter* const kWithExtension[] = {&s2};
  for (const ReadOutWriter* writer : kWithExtension) {
    if (EndsWith(fileName, writer->Extension())) return *writer;
  }
  return binary;
}

}  // namespace serburn

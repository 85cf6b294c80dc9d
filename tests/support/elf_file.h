// Test support: a little-endian 32-bit ELF executable built from program headers, for the
// tests of both programmers' ELF input.
#pragma once

#include <elf.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace elf_test {

struct Segment {
  uint32_t type;
  uint32_t physical;
  std::vector<uint8_t> bytes;
  uint32_t extraInMemory;  // reserved in memory only (not in the file)
};

// A little-endian 32-bit ELF executable with these program headers.
inline std::string ElfFile(const std::vector<Segment>& segments) {
  Elf32_Ehdr e{};
  std::memcpy(e.e_ident, ELFMAG, SELFMAG);
  e.e_ident[EI_CLASS] = ELFCLASS32;
  e.e_ident[EI_DATA] = ELFDATA2LSB;
  e.e_ident[EI_VERSION] = EV_CURRENT;
  e.e_type = ET_EXEC;
  e.e_machine = EM_ARM;
  e.e_version = EV_CURRENT;
  e.e_phoff = sizeof e;
  e.e_ehsize = sizeof e;
  e.e_phentsize = sizeof(Elf32_Phdr);
  e.e_phnum = static_cast<Elf32_Half>(segments.size());
  std::string file(reinterpret_cast<const char*>(&e), sizeof e);
  uint32_t offset = static_cast<uint32_t>(sizeof e + segments.size() * sizeof(Elf32_Phdr));
  std::string contents;
  for (const Segment& s : segments) {
    Elf32_Phdr p{};
    p.p_type = s.type;
    p.p_offset = offset;
    p.p_vaddr = s.physical + 0x20000000;  // a different virtual address: the physical one counts
    p.p_paddr = s.physical;
    p.p_filesz = static_cast<uint32_t>(s.bytes.size());
    p.p_memsz = p.p_filesz + s.extraInMemory;
    p.p_flags = PF_R;
    file.append(reinterpret_cast<const char*>(&p), sizeof p);
    contents.append(s.bytes.begin(), s.bytes.end());
    offset += p.p_filesz;
  }
  return file + contents;
}

}  // namespace elf_test

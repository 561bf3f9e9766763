#include "wttest/pe.h"

#include <cstdlib>
#include <cstring>
#include <fstream>

namespace wttest {
namespace {

struct Image {
  std::vector<char> bytes;
  std::vector<IMAGE_SECTION_HEADER> sections;

  // File offset of a relative virtual address; 0 when no section holds it.
  size_t Offset(DWORD rva) const {
    for (const auto& s : sections) {
      const DWORD size = s.Misc.VirtualSize ? s.Misc.VirtualSize : s.SizeOfRawData;
      if (rva >= s.VirtualAddress && rva < s.VirtualAddress + size) {
        return rva - s.VirtualAddress + s.PointerToRawData;
      }
    }
    return 0;
  }
  template <typename T>
  bool Read(size_t offset, T* out) const {
    if (offset == 0 || offset + sizeof(T) > bytes.size()) return false;
    std::memcpy(out, bytes.data() + offset, sizeof(T));
    return true;
  }
  std::string String(size_t offset) const {
    std::string s;
    while (offset && offset < bytes.size() && bytes[offset]) s.push_back(bytes[offset++]);
    return s;
  }
};

}  // namespace

PeInfo ReadPe(const std::wstring& path) {
  PeInfo info;
  Image img;
  {
    std::ifstream f(path.c_str(), std::ios::binary);
    if (!f) return info;
    img.bytes.assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
  }
  IMAGE_DOS_HEADER dos;
  if (img.bytes.size() < sizeof dos) return info;
  std::memcpy(&dos, img.bytes.data(), sizeof dos);
  if (dos.e_magic != IMAGE_DOS_SIGNATURE) return info;
  const size_t nt = static_cast<size_t>(dos.e_lfanew);
  DWORD signature = 0;
  IMAGE_FILE_HEADER file;
  if (!img.Read(nt, &signature) || signature != IMAGE_NT_SIGNATURE || !img.Read(nt + 4, &file))
    return info;
  const size_t optional = nt + 4 + sizeof file;
  WORD magic = 0;
  img.Read(optional, &magic);
  IMAGE_DATA_DIRECTORY importDir{}, exportDir{}, resourceDir{};
  if (magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC) {
    IMAGE_OPTIONAL_HEADER64 oh;
    if (!img.Read(optional, &oh)) return info;
    info.subsystem = oh.Subsystem;
    importDir = oh.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    exportDir = oh.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    resourceDir = oh.DataDirectory[IMAGE_DIRECTORY_ENTRY_RESOURCE];
    info.certificateTableSize = oh.DataDirectory[IMAGE_DIRECTORY_ENTRY_SECURITY].Size;
  } else {
    IMAGE_OPTIONAL_HEADER32 oh;
    if (!img.Read(optional, &oh)) return info;
    info.subsystem = oh.Subsystem;
    importDir = oh.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    exportDir = oh.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    resourceDir = oh.DataDirectory[IMAGE_DIRECTORY_ENTRY_RESOURCE];
    info.certificateTableSize = oh.DataDirectory[IMAGE_DIRECTORY_ENTRY_SECURITY].Size;
  }
  info.machine = file.Machine;
  info.isDll = (file.Characteristics & IMAGE_FILE_DLL) != 0;
  const size_t sectionTable = optional + file.SizeOfOptionalHeader;
  for (WORD i = 0; i < file.NumberOfSections; ++i) {
    IMAGE_SECTION_HEADER s;
    if (!img.Read(sectionTable + i * sizeof s, &s)) return info;
    img.sections.push_back(s);
    const char* name = reinterpret_cast<const char*>(s.Name);
    std::string text(name, strnlen(name, IMAGE_SIZEOF_SHORT_NAME));
    // A longer name is "/<offset>" into the string table after the symbols.
    if (text.size() > 1 && text[0] == '/' && file.PointerToSymbolTable) {
      const size_t strings = file.PointerToSymbolTable + size_t{file.NumberOfSymbols} * 18;
      text = img.String(strings + std::strtoul(text.c_str() + 1, nullptr, 10));
    }
    info.sections.push_back(text);
  }

  if (importDir.VirtualAddress) {
    size_t at = img.Offset(importDir.VirtualAddress);
    IMAGE_IMPORT_DESCRIPTOR d;
    while (img.Read(at, &d) && d.Name) {
      info.imports.push_back(img.String(img.Offset(d.Name)));
      at += sizeof d;
    }
  }
  if (exportDir.VirtualAddress) {
    IMAGE_EXPORT_DIRECTORY e;
    if (img.Read(img.Offset(exportDir.VirtualAddress), &e)) {
      const size_t names = img.Offset(e.AddressOfNames);
      for (DWORD i = 0; i < e.NumberOfNames; ++i) {
        DWORD rva = 0;
        if (img.Read(names + i * 4, &rva)) info.exports.push_back(img.String(img.Offset(rva)));
      }
    }
  }
  if (resourceDir.VirtualAddress) {
    const size_t root = img.Offset(resourceDir.VirtualAddress);
    IMAGE_RESOURCE_DIRECTORY dir;
    if (img.Read(root, &dir)) {
      const int count = dir.NumberOfNamedEntries + dir.NumberOfIdEntries;
      for (int i = 0; i < count; ++i) {
        IMAGE_RESOURCE_DIRECTORY_ENTRY entry;
        if (!img.Read(root + sizeof dir + i * sizeof entry, &entry)) break;
        if (!entry.NameIsString) info.resourceTypes.push_back(entry.Id);
      }
    }
  }
  info.valid = true;
  return info;
}

}  // namespace wttest

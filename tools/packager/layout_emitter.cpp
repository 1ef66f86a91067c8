#include "tools/packager/layout_emitter.h"

#include "tools/packager/code_stub.h"
#include "tools/packager/pe_image.h"
#include "tools/packager/pe_writer.h"
#include "tools/packager/resource_writer.h"
#include "tools/packager/table_writer.h"

namespace {

// What an edition is made of. The WOW64 edition is 32-bit code whose tables hold 64-bit
// pointers; its addresses stay below 4 GiB, so the low half of each is relocated as a 32-bit
// address (a 64-bit relocation is one that 32-bit loaders, Wine's among them, refuse).
struct Machine {
  LayoutEdition edition;
  const char* folder;
  uint16_t machine;
  bool wide;
  unsigned pointerSize;
  uint64_t imageBase;
  uint16_t systemVersion[2];
  uint16_t dllCharacteristics;  // dynamic base, NX compatible; no structured exception handlers
};

const Machine kMachines[] = {
    {LayoutEdition::kX86, "i386", kMachineI386, false, 4, 0x10000000, {5, 0}, 0x0540},
    {LayoutEdition::kX64, "amd64", kMachineAmd64, true, 8, 0x180000000, {5, 2}, 0x0140},
    {LayoutEdition::kWow64, "wow64", kMachineI386, false, 8, 0x10000000, {5, 2}, 0x0540},
    {LayoutEdition::kArm64, "arm64", kMachineArm64, true, 8, 0x180000000, {10, 0}, 0x0140},
};

const Machine& MachineOf(LayoutEdition edition) {
  for (const Machine& machine : kMachines) {
    if (machine.edition == edition) return machine;
  }
  return kMachines[0];
}

void Put32(std::vector<uint8_t>* out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out->push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// The export directory of KbdLayerDescriptor alone, appended to `data` (at `rva`):
// {flags, timestamp, version, name RVA, ordinal base 1, 1 function, 1 name, the three tables'
// RVAs}, then the function's RVA, the name's RVA, ordinal 0, the file's name and the export's.
uint32_t AppendExport(std::vector<uint8_t>* data, uint32_t rva, uint32_t codeRva, const std::string& file,
                      uint32_t* size) {
  while (data->size() % 4) data->push_back(0);
  const uint32_t at = rva + static_cast<uint32_t>(data->size());
  const uint32_t functions = at + 40, names = functions + 4, ordinals = names + 4, fileName = ordinals + 4;
  const uint32_t exportName = fileName + static_cast<uint32_t>(file.size()) + 1;
  for (uint32_t value : {0u, 0u, 0u, fileName, 1u, 1u, 1u, functions, names, ordinals, codeRva, exportName}) {
    Put32(data, value);
  }
  data->insert(data->end(), {0, 0, 0, 0});  // ordinal 0 and padding
  data->insert(data->end(), file.begin(), file.end());
  data->push_back(0);
  const char kExport[] = "KbdLayerDescriptor";
  data->insert(data->end(), kExport, kExport + sizeof kExport);
  *size = rva + static_cast<uint32_t>(data->size()) - at;
  return at;
}

CodeStub Stub(const Machine& m, uint32_t codeRva, uint32_t tablesRva) {
  switch (m.edition) {
    case LayoutEdition::kX64:
      return X64Stub(codeRva, tablesRva);
    case LayoutEdition::kArm64:
      return Arm64Stub(codeRva, tablesRva);
    default:
      return X86Stub(static_cast<uint32_t>(m.imageBase) + tablesRva, m.edition == LayoutEdition::kWow64);
  }
}

}  // namespace

const LayoutEdition kCompiledEditions[4] = {LayoutEdition::kX86, LayoutEdition::kX64, LayoutEdition::kWow64,
                                            LayoutEdition::kArm64};

const char* EditionFolder(LayoutEdition edition) { return MachineOf(edition).folder; }

// Sections: .text (the code), .rdata (the tables, then the export), .rsrc, .reloc.
std::vector<uint8_t> EmitLayoutLibrary(const LayoutModel& tables, const LayoutResources& resources,
                                       LayoutEdition edition, const std::string& name) {
  const Machine& m = MachineOf(edition);
  PeParts parts;
  parts.machine = m.machine;
  parts.wide = m.wide;
  parts.imageBase = m.imageBase;
  parts.systemVersion[0] = m.systemVersion[0];
  parts.systemVersion[1] = m.systemVersion[1];
  parts.dllCharacteristics = m.dllCharacteristics;

  TablesBlob blob = WriteTables(tables, m.pointerSize);
  parts.sections.push_back({".text", kSectionCode, Stub(m, 0, 0).bytes});
  parts.sections.push_back({".rdata", kSectionReadOnly, {}});
  const uint32_t codeRva = SectionRva(parts.sections, 0), dataRva = SectionRva(parts.sections, 1);
  const uint32_t tablesRva = dataRva + blob.tables;

  PlaceTables(&blob, m.imageBase + dataRva);
  const uint16_t pointerRelocation = m.wide ? kRelocDir64 : kRelocHighLow;
  for (uint32_t at : blob.pointers) parts.relocations.push_back({dataRva + at, pointerRelocation});
  std::vector<uint8_t>& data = parts.sections[1].data;
  data = std::move(blob.bytes);
  parts.directories[kDirectoryExport][0] =
      AppendExport(&data, dataRva, codeRva, name + ".dll", &parts.directories[kDirectoryExport][1]);

  const CodeStub stub = Stub(m, codeRva, tablesRva);
  parts.sections[0].data = stub.bytes;
  for (uint32_t at : stub.absolute32) parts.relocations.push_back({codeRva + at, kRelocHighLow});

  const uint32_t resourceRva = SectionRva(parts.sections, 2);
  parts.sections.push_back({".rsrc", kSectionReadOnly, WriteResources(resources, resourceRva)});
  parts.directories[kDirectoryResource][0] = resourceRva;
  parts.directories[kDirectoryResource][1] = static_cast<uint32_t>(parts.sections.back().data.size());
  return WritePe(std::move(parts));
}

// The shared library's export table: every camera-interface name resolves to
// its own symbol, and nothing else carries the interface's prefix.
#include <dlfcn.h>
#include <elf.h>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "export_names.h"

namespace {

// Names of the defined, globally visible functions in a shared object's
// dynamic symbol table, read straight from the ELF file.
std::set<std::string> DynamicFunctionNames(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::set<std::string> names;
    if (bytes.size() < sizeof(Elf64_Ehdr)) return names;
    const auto* header = reinterpret_cast<const Elf64_Ehdr*>(bytes.data());
    const auto* sections = reinterpret_cast<const Elf64_Shdr*>(bytes.data() + header->e_shoff);
    for (int i = 0; i < header->e_shnum; ++i) {
        if (sections[i].sh_type != SHT_DYNSYM) continue;
        const Elf64_Shdr& strings = sections[sections[i].sh_link];
        const auto* symbols = reinterpret_cast<const Elf64_Sym*>(bytes.data() + sections[i].sh_offset);
        const size_t count = sections[i].sh_size / sizeof(Elf64_Sym);
        for (size_t s = 0; s < count; ++s) {
            const Elf64_Sym& symbol = symbols[s];
            if (symbol.st_shndx == SHN_UNDEF || ELF64_ST_TYPE(symbol.st_info) != STT_FUNC) continue;
            if (ELF64_ST_BIND(symbol.st_info) == STB_LOCAL) continue;
            names.insert(bytes.data() + strings.sh_offset + symbol.st_name);
        }
    }
    return names;
}

TEST(ExportTable, EveryInterfaceNameResolvesToItsOwnSymbol) {
    void* library = dlopen(VANTIX_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    std::set<void*> addresses;
    for (std::string_view name : kExportNames) {
        void* symbol = dlsym(library, std::string(name).c_str());
        EXPECT_NE(symbol, nullptr) << name;
        addresses.insert(symbol);
    }
    // Names that share a body still have a symbol of their own.
    EXPECT_EQ(addresses.size(), kExportNames.size());
    dlclose(library);
}

TEST(ExportTable, NothingElseCarriesThePrefix) {
    const std::set<std::string> exported = DynamicFunctionNames(VANTIX_LIBRARY_PATH);
    ASSERT_FALSE(exported.empty());
    const std::set<std::string> expected(kExportNames.begin(), kExportNames.end());
    std::set<std::string> prefixed;
    for (const std::string& name : exported) {
        if (name.rfind("Vantix_", 0) == 0) prefixed.insert(name);
    }
    EXPECT_EQ(prefixed, expected);
}

TEST(ExportTable, NoInternalCppSymbolsLeak) {
    // Hidden visibility keeps the library's own classes out of the table; only
    // the C interface and the Linux extension calls are exported.
    for (const std::string& name : DynamicFunctionNames(VANTIX_LIBRARY_PATH)) {
        const bool interfaceName = name.rfind("Vantix_", 0) == 0 || name.rfind("VantixExt_", 0) == 0;
        const bool startFiniHook = name == "_init" || name == "_fini";
        EXPECT_TRUE(interfaceName || startFiniHook) << name;
    }
}

TEST(ExportTable, DllVersionNeedsNoSession) {
    void* library = dlopen(VANTIX_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    auto version = reinterpret_cast<int32_t (*)()>(dlsym(library, "Vantix_GetDllVersion"));
    ASSERT_NE(version, nullptr);
    EXPECT_EQ(version(), 0x01F50520);
    dlclose(library);
}

}  // namespace

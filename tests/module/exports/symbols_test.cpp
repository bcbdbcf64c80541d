// The built module as a host sees it: loaded with dlopen, its functions found by
// their plain names, and nothing else of it visible.
#include <dlfcn.h>
#include <elf.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "boundary/exports.h"
#include "zhost.h"

namespace {

const char kModulePath[] = ZOT_BINARY_DIR "/af_zot.so";

#define ZT_EXPORTED_NAME(name) "af_zot" #name,
const std::set<std::string> kExported = {"af_zotInstanceTitleListGet", AF_ZOT_APPLICATION_FUNCTIONS(ZT_EXPORTED_NAME)};
#undef ZT_EXPORTED_NAME

std::vector<char> ReadFile(const char *path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The names of the symbols the file defines in its dynamic symbol table with
// global or weak binding: what a loader can find in it. Fails the test on a
// file that is not a 64-bit ELF object.
std::set<std::string> DefinedDynamicSymbols(const std::vector<char> &file) {
    std::set<std::string> names;
    if (file.size() < sizeof(Elf64_Ehdr) || std::memcmp(file.data(), ELFMAG, SELFMAG) != 0 ||
        file[EI_CLASS] != ELFCLASS64) {
        ADD_FAILURE() << "not a 64-bit ELF file";
        return names;
    }
    Elf64_Ehdr header;
    std::memcpy(&header, file.data(), sizeof header);
    auto section = [&](size_t index) {
        Elf64_Shdr s;
        std::memcpy(&s, file.data() + header.e_shoff + index * header.e_shentsize, sizeof s);
        return s;
    };
    if (header.e_shoff + static_cast<size_t>(header.e_shnum) * header.e_shentsize > file.size()) {
        ADD_FAILURE() << "section headers past the end of the file";
        return names;
    }
    for (size_t i = 0; i < header.e_shnum; ++i) {
        Elf64_Shdr symbols = section(i);
        if (symbols.sh_type != SHT_DYNSYM) continue;
        Elf64_Shdr strings = section(symbols.sh_link);
        if (symbols.sh_offset + symbols.sh_size > file.size() || strings.sh_offset + strings.sh_size > file.size()) {
            ADD_FAILURE() << "dynamic symbols past the end of the file";
            return names;
        }
        for (size_t offset = 0; offset + sizeof(Elf64_Sym) <= symbols.sh_size; offset += sizeof(Elf64_Sym)) {
            Elf64_Sym symbol;
            std::memcpy(&symbol, file.data() + symbols.sh_offset + offset, sizeof symbol);
            unsigned char binding = ELF64_ST_BIND(symbol.st_info);
            if (symbol.st_shndx == SHN_UNDEF || symbol.st_name == 0) continue;
            if (binding != STB_GLOBAL && binding != STB_WEAK) continue;
            names.insert(std::string(file.data() + strings.sh_offset + symbol.st_name));
        }
    }
    return names;
}

class ModuleFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        handle_ = dlopen(kModulePath, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(handle_, nullptr) << dlerror();
    }
    void TearDown() override {
        if (handle_) dlclose(handle_);
    }
    void *handle_ = nullptr;
};

TEST_F(ModuleFileTest, DynamicSymbolTableDefinesExactlyTheSeventeenExports) {
    std::set<std::string> defined = DefinedDynamicSymbols(ReadFile(kModulePath));
    std::vector<std::string> extra, missing;
    std::set_difference(defined.begin(), defined.end(), kExported.begin(), kExported.end(), std::back_inserter(extra));
    std::set_difference(kExported.begin(), kExported.end(), defined.begin(), defined.end(),
                        std::back_inserter(missing));
    EXPECT_TRUE(extra.empty()) << "exported beyond the seventeen: " << ::testing::PrintToString(extra);
    EXPECT_TRUE(missing.empty()) << "not exported: " << ::testing::PrintToString(missing);
}

TEST_F(ModuleFileTest, LoaderFindsEveryExportByItsPlainName) {
    for (const std::string &name : kExported) EXPECT_NE(dlsym(handle_, name.c_str()), nullptr) << name;
    // Internal operations and C++-decorated names stay hidden.
    for (const char *hidden : {"ParseZML", "CloseTool", "SelectTool", "FreeToolRecord", "GetFileToMap",
                               "PointCreatedCallback", "_Z8ParseZMLPP11Zerr_ReportP8ZOT_Data"}) {
        EXPECT_EQ(dlsym(handle_, hidden), nullptr) << hidden;
    }
}

// The loaded module answers the listing as a host uses it.
TEST_F(ModuleFileTest, LoadedListingAnswersSixteenNames) {
    using Listing = int32_t (*)(int32_t *, char ***);
    Listing listing = reinterpret_cast<Listing>(dlsym(handle_, "af_zotInstanceTitleListGet"));
    ASSERT_NE(listing, nullptr);
    int32_t count = 0;
    char **names = nullptr;
    EXPECT_EQ(listing(&count, &names), 0);
    ASSERT_EQ(count, 16);
    for (int32_t i = 0; i < count; ++i) {
        EXPECT_EQ(kExported.count(std::string("af_zot") + names[i]), 1u) << names[i];
        zmsc_HeapFree(names[i]);
    }
    zmsc_HeapFree(names);
}

}  // namespace

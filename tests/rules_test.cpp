#include "rules/decimal_separator.h"
#include "rules/document_numbers.h"
#include "rules/text_padding.h"
#include "tests/shared_data.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>

namespace {

struct FormatCase {
    const char* argument;
    const char* cpf;
    const char* cnpj;
};

TEST(DocumentNumbers, FormatsAsTheTableSays)
{
    const FormatCase cases[] = {
        {"111.444.777-35", "111.444.777-35", "11.144.477/735-"},
        {"11.444.777/0001-61", "114.447.770-00", "11.444.777/0001-61"},
        {"123", "123..-", "12.3./-"},
        {"abc", "..-", "../-"},
        {"", "", ""},
        {"11144477735", "111.444.777-35", "11.144.477/735-"},
        {"1a1b1-444x777..35", "111.444.777-35", "11.144.477/735-"},
        {"11144477735999", "111.444.777-35", "11.144.477/7359-99"},
        // Letters: upper case counts in a CNPJ's first twelve places only.
        {"12ABC34501DE35", "123.450.135-", "12.ABC.345/01DE-35"},
        {"12abc34501de35", "123.450.135-", "12.345.013/5-"},
        {"12ABC34501DEF35", "123.450.135-", "12.ABC.345/01DE-35"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.argument);
        EXPECT_EQ(FormataCPF(c.argument), c.cpf);
        EXPECT_EQ(FormataCNPJ(c.argument), c.cnpj);
    }
}

struct ValidCase {
    const char* number;
    bool valid;
};

TEST(DocumentNumbers, ValidatesCpf)
{
    const ValidCase cases[] = {
        {"111.444.777-35", true},
        {"11144477735", true},
        {"111 444 777 35", true},
        {"111.444.777-36", false},
        {"111.444.777-35999", true},
        {"111.111.111-11", true},
        {"000.000.000-00", false},
        {"00000000000", false},
        {"1114447773", false},
        {"", false},
        {"abc", false},
        {"０11144477735", true},  // a full-width digit is not a digit
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.number);
        EXPECT_EQ(ValidaCPF(c.number), c.valid);
    }
}

TEST(DocumentNumbers, ValidatesCnpj)
{
    const ValidCase cases[] = {
        {"11.444.777/0001-61", true},
        {"11444777000161", true},
        {"11.444.777/0001-62", false},
        {"11.444.777/0001-619", true},
        {"11.111.111/1111-80", true},
        {"00.000.000/0000-00", false},
        {"1144477700016", false},
        {"", false},
        // Alphanumeric CNPJ: letters count as their code minus 48.
        {"12.ABC.345/01DE-35", true},
        {"12ABC34501DE35", true},
        {"12.ABC.345/01DE-36", false},
        {"12.abc.345/01de-35", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.number);
        EXPECT_EQ(ValidaCNPJ(c.number), c.valid);
    }
}

// Every CPF and CNPJ in the real NF-e files is judged as a hand check of
// the check digits says.
TEST(DocumentNumbers, JudgesTheNumbersOfRealInvoices)
{
    SKIP_WITHOUT_SHARED_DATA();
    const std::filesystem::path nfe = SHARED_DIR "/data/nfe";
    const std::map<std::string, bool> expected = {
        {"02536490000170", true},  {"06929383000163", true},  {"07134266000176", true},
        {"07670813000823", false}, {"07677840000131", false}, {"10422724000187", true},
        {"23285089000185", true},  {"24864778001291", false}, {"25447784000121", true},
        {"42530613000180", true},  {"44738030000175", true},  {"52567322000119", false},
        {"58716523000119", true},  {"014345733812", false},   {"02456422287", false},
    };
    const std::regex tag("<(CPF|CNPJ)>([^<]*)</");
    std::set<std::string> seen;
    for (const char* folder : {"source", "exports"}) {
        for (const auto& entry : std::filesystem::directory_iterator(nfe / folder)) {
            if (!entry.is_regular_file() || entry.path().extension() != ".xml")
                continue;
            std::ifstream file(entry.path(), std::ios::binary);
            ASSERT_TRUE(file) << entry.path();
            std::ostringstream bytes;
            bytes << file.rdbuf();
            const std::string text = bytes.str();
            for (std::sregex_iterator it(text.begin(), text.end(), tag), end; it != end; ++it) {
                const std::string number = (*it)[2];
                SCOPED_TRACE(number);
                ASSERT_TRUE(expected.count(number));
                const bool valid = (*it)[1] == "CPF" ? ValidaCPF(number) : ValidaCNPJ(number);
                EXPECT_EQ(valid, expected.at(number));
                seen.insert(number);
            }
        }
    }
    EXPECT_EQ(seen.size(), expected.size());
}

TEST(DocumentNumbers, KeepsOnlyDigits)
{
    EXPECT_EQ(justNumbers("  12a3 "), "123");
    EXPECT_EQ(justNumbers("abc"), "");
    EXPECT_EQ(justNumbers("١٢3"), "3");
}

TEST(TextConversions, ReplacesFullStopsByCommas)
{
    const std::pair<const char*, const char*> cases[] = {
        {"12.50", "12,50"}, {"1500", "1500"}, {"12,50", "12,50"}, {"", ""}, {"1.234.5", "1,234,5"},
    };
    for (auto [in, out] : cases)
        EXPECT_EQ(TrocaVirgPPto(in), out) << in;
}

TEST(TextConversions, PadsAndCuts)
{
    const struct {
        const char* texto;
        int32_t largura;
        char32_t preenchimento;
        const char* result;
    } cases[] = {
        {"abc", 2, U'*', "ab"},
        {"abc", 5, U'*', "**abc"},
        {"abc", 3, U'*', "abc"},
        {"abc", 0, U'*', ""},
        {"abc", -1, U'*', ""},
        // Widths count characters, not bytes: an accented letter is one.
        {"ação", 6, U'0', "00ação"},
        {"ação", 3, U'0', "açã"},
        {"42", 4, U'·', "··42"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CompletaAEsquerda(c.texto, c.largura, c.preenchimento), c.result) << c.texto << " " << c.largura;
    EXPECT_EQ(CompletaComZeros(" 42 ", 5), "00042");
    EXPECT_EQ(CompletaComZeros("\t42\n", 3), "042");
}

TEST(TextConversions, WritesZeroFilledCodes)
{
    const std::pair<int64_t, const char*> cases[] = {
        {1, "000001"}, {123456, "123456"}, {1234567, "123456"}, {0, "000000"}, {-5, "0000-5"},
    };
    for (auto [number, code] : cases)
        EXPECT_EQ(InteiroComZeros(number, 6), code) << number;
}

} // namespace

#include "rules/decimal_separator.h"
#include "rules/document_numbers.h"
#include "rules/text_padding.h"
#include "tests/qstring_print.h"
#include "tests/shared_data.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>

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
        EXPECT_EQ(FormataCPF(QString::fromUtf8(c.argument)), QString::fromUtf8(c.cpf));
        EXPECT_EQ(FormataCNPJ(QString::fromUtf8(c.argument)), QString::fromUtf8(c.cnpj));
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
        EXPECT_EQ(ValidaCPF(QString::fromUtf8(c.number)), c.valid);
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
        EXPECT_EQ(ValidaCNPJ(QString::fromUtf8(c.number)), c.valid);
    }
}

// Every CPF and CNPJ in the real NF-e files is judged as a hand check of
// the check digits says.
TEST(DocumentNumbers, JudgesTheNumbersOfRealInvoices)
{
    SKIP_WITHOUT_SHARED_DATA();
    const std::map<QString, bool> expected = {
        {"02536490000170", true},  {"06929383000163", true},  {"07134266000176", true},
        {"07670813000823", false}, {"07677840000131", false}, {"10422724000187", true},
        {"23285089000185", true},  {"24864778001291", false}, {"25447784000121", true},
        {"42530613000180", true},  {"44738030000175", true},  {"52567322000119", false},
        {"58716523000119", true},  {"014345733812", false},   {"02456422287", false},
    };
    const QRegularExpression tag(QStringLiteral("<(CPF|CNPJ)>([^<]*)</"));
    std::set<QString> seen;
    for (const char* folder : {"source", "exports"}) {
        QDir dir(QStringLiteral(SHARED_DIR "/data/nfe/") + QLatin1String(folder));
        for (const QString& name : dir.entryList({QStringLiteral("*.xml")}, QDir::Files)) {
            QFile file(dir.filePath(name));
            ASSERT_TRUE(file.open(QIODevice::ReadOnly));
            const QString text = QString::fromUtf8(file.readAll());
            for (auto it = tag.globalMatch(text); it.hasNext();) {
                const auto m = it.next();
                const QString number = m.captured(2);
                SCOPED_TRACE(number.toStdString());
                ASSERT_TRUE(expected.count(number));
                const bool valid = m.captured(1) == QLatin1String("CPF") ? ValidaCPF(number)
                                                                        : ValidaCNPJ(number);
                EXPECT_EQ(valid, expected.at(number));
                seen.insert(number);
            }
        }
    }
    EXPECT_EQ(seen.size(), expected.size());
}

TEST(DocumentNumbers, KeepsOnlyDigits)
{
    EXPECT_EQ(justNumbers(QStringLiteral("  12a3 ")), QStringLiteral("123"));
    EXPECT_EQ(justNumbers(QStringLiteral("abc")), QString());
    EXPECT_EQ(justNumbers(QStringLiteral("١٢3")), QStringLiteral("3"));
}

TEST(TextConversions, ReplacesFullStopsByCommas)
{
    const std::pair<const char*, const char*> cases[] = {
        {"12.50", "12,50"}, {"1500", "1500"}, {"12,50", "12,50"}, {"", ""}, {"1.234.5", "1,234,5"},
    };
    for (auto [in, out] : cases)
        EXPECT_EQ(TrocaVirgPPto(QString::fromUtf8(in)), QString::fromUtf8(out)) << in;
}

TEST(TextConversions, PadsAndCuts)
{
    EXPECT_EQ(CompletaAEsquerda(QStringLiteral("abc"), 2, QChar('*')), QStringLiteral("ab"));
    EXPECT_EQ(CompletaAEsquerda(QStringLiteral("abc"), 5, QChar('*')), QStringLiteral("**abc"));
    EXPECT_EQ(CompletaAEsquerda(QStringLiteral("abc"), 3, QChar('*')), QStringLiteral("abc"));
    EXPECT_EQ(CompletaAEsquerda(QStringLiteral("abc"), 0, QChar('*')), QString());
    EXPECT_EQ(CompletaAEsquerda(QStringLiteral("abc"), -1, QChar('*')), QString());
    EXPECT_EQ(CompletaComZeros(QStringLiteral(" 42 "), 5), QStringLiteral("00042"));
    EXPECT_EQ(CompletaComZeros(QStringLiteral("\t42\n"), 3), QStringLiteral("042"));
}

TEST(TextConversions, WritesZeroFilledCodes)
{
    const std::pair<int64_t, const char*> cases[] = {
        {1, "000001"}, {123456, "123456"}, {1234567, "123456"}, {0, "000000"}, {-5, "0000-5"},
    };
    for (auto [number, code] : cases)
        EXPECT_EQ(InteiroComZeros(number, 6), QString::fromLatin1(code)) << number;
}

} // namespace

#include "host/host_paths.h"
#include "host/ini_file.h"
#include "host/regional_date.h"
#include "host/registry_file.h"
#include "host/wine_prefix.h"
#include "platform/os/regional_settings.h"
#include "tests/qstring_print.h"

#include <gtest/gtest.h>

#include <map>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    f.write(bytes);
}

const std::string key32 = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Pelko";
const std::string key64 = "Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Pelko";

struct RegistryCase {
    const char* name;
    const char* file;
    bool win64;
    std::string key;
    RegistryValue::Type type;
    const char* text;  // nullptr: the value is missing
};

TEST(RegistryFile, ReadsValuesAsAWinePrefixWritesThem)
{
    const RegistryCase cases[] = {
        {"32-bit string", "WINE REGISTRY Version 2\n#arch=win32\n\n[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\Pelko] 1\n"
                          "\"UninstallString\"=\"C:\\\\Pelko\\\\unins000.exe\"\n",
         false, key32, RegistryValue::Type::String, "C:\\Pelko\\unins000.exe"},
        {"64-bit view", "WINE REGISTRY Version 2\n#arch=win64\n\n[Software\\\\Wow6432Node\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\Pelko] 1\n"
                        "#time=1d\n\"UninstallString\"=str(2):\"C:\\\\Program Files (x86)\\\\Pelko\\\\u.exe\"\n",
         true, key64, RegistryValue::Type::ExpandableString, "C:\\Program Files (x86)\\Pelko\\u.exe"},
        {"key and name in other cases", "[SOFTWARE\\\\microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\PELKO] 1\n"
                                        "\"uninstallstring\"=\"C:\\\\P\\\\u.exe\"\n",
         false, key32, RegistryValue::Type::String, "C:\\P\\u.exe"},
        {"escapes", "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\Pelko] 1\n"
                    "\"UninstallString\"=\"C:\\\\A \\\"B\\\" \\x2013 Caf\\xe9\\\\u.exe\"\n",
         false, key32, RegistryValue::Type::String, "C:\\A \"B\" \xE2\x80\x93 Caf\xC3\xA9\\u.exe"},
        {"a number", "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\Pelko] 1\n\"UninstallString\"=dword:00000001\n",
         false, key32, RegistryValue::Type::Other, ""},
        {"bytes", "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\Pelko] 1\n\"UninstallString\"=hex:43,00\n",
         false, key32, RegistryValue::Type::Other, ""},
        {"value of another key", "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\Pelko] 1\n\n"
                                 "[Software\\\\Other] 1\n\"UninstallString\"=\"C:\\\\x.exe\"\n",
         false, key32, RegistryValue::Type::String, nullptr},
    };
    QTemporaryDir dir;
    for (const RegistryCase& c : cases) {
        SCOPED_TRACE(c.name);
        writeFile(dir.filePath("system.reg"), c.file);
        RegistryFile reg;
        ASSERT_TRUE(reg.load(dir.filePath("system.reg").toStdString()));
        EXPECT_EQ(reg.is64Bit(), c.win64);
        EXPECT_TRUE(reg.hasKey(c.key));
        const auto v = reg.value(c.key, "UninstallString");
        if (!c.text) {
            EXPECT_FALSE(v.has_value());
            continue;
        }
        ASSERT_TRUE(v.has_value());
        EXPECT_EQ(v->type, c.type);
        EXPECT_EQ(v->text, c.text);
    }
}

TEST(IniFile, ReadsAsTheWindowsReaderDoes)
{
    QTemporaryDir dir;
    writeFile(dir.filePath("ROTAS.INI"),
              "; comment\r\n[Outra]\r\nRota=errada\r\n[ geral ]\r\n  ROTA =  \"D:\\Dados\\\"  \r\nRota=segunda\r\n"
              "Vazia=\r\nNome=Jo\xE3o\r\n");
    IniFile ini;
    ASSERT_TRUE(ini.load(dir.filePath("ROTAS.INI").toStdString()));
    EXPECT_EQ(ini.value("Geral", "Rota"), "D:\\Dados\\");
    EXPECT_EQ(ini.value("GERAL", "vazia", "padrão"), "");
    EXPECT_EQ(ini.value("Geral", "Falta", "padrão"), "padrão");
    EXPECT_EQ(ini.value("Geral", "Nome"), "João");  // Windows-1252
    std::string reason;
    EXPECT_FALSE(ini.load(dir.filePath("none.ini").toStdString(), &reason));
    EXPECT_EQ(reason, "No such file or directory");

    QByteArray utf16("\xFF\xFE");
    for (QChar c : QStringLiteral("[Geral]\r\nDataVersao=22/03/2016\r\n")) {
        utf16 += char(c.unicode() & 0xFF);
        utf16 += char(c.unicode() >> 8);
    }
    writeFile(dir.filePath("pelko.ini"), utf16);
    ASSERT_TRUE(ini.load(dir.filePath("pelko.ini").toStdString()));
    EXPECT_EQ(ini.value("geral", "dataversao"), "22/03/2016");
}

TEST(HostPaths, FolderPartAndTrailingDelimiter)
{
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {"C:\\Host\\unins000.exe", "C:\\Host\\", "C:\\Host"},
        {"C:unins000.exe", "C:", "C:"},
        {"unins000.exe", "", ""},
        {"C:\\", "C:\\", "C:"},
        {"\\\\server\\share\\u.exe", "\\\\server\\share\\", "\\\\server\\share"},
    };
    for (auto [path, folder, dropped] : cases) {
        EXPECT_EQ(folderPart(path), folder) << path;
        EXPECT_EQ(dropTrailingDelimiter(folderPart(path)), dropped) << path;
    }
}

TEST(WinePrefix, MapsWindowsPathsThroughTheDrives)
{
    QTemporaryDir dir;
    const QString prefix = dir.filePath("wine");
    QDir().mkpath(prefix + "/drive_c/Pelko/Dados");
    QDir().mkpath(prefix + "/dosdevices");
    QDir().mkpath(dir.filePath("outro/Dados"));
    QFile::link(prefix + "/drive_c", prefix + "/dosdevices/c:");
    QFile::link(dir.filePath("outro"), prefix + "/dosdevices/d:");
    const WinePrefix wine(prefix.toStdString());
    const std::string drive = QFileInfo(prefix + "/drive_c").canonicalFilePath().toStdString();
    EXPECT_EQ(wine.nativePath("C:\\Pelko\\Dados"), drive + "/Pelko/Dados");
    EXPECT_EQ(wine.nativePath("c:\\PELKO\\dados"), drive + "/Pelko/Dados");
    EXPECT_EQ(wine.nativePath("C:\\Pelko\\Novo"), drive + "/Pelko/Novo");
    EXPECT_EQ(wine.nativePath("D:\\DADOS"), QFileInfo(dir.filePath("outro")).canonicalFilePath().toStdString() + "/Dados");
    EXPECT_EQ(wine.nativePath("E:\\Dados"), "");
    EXPECT_EQ(wine.nativePath("\\\\servidor\\dados"), "");
    EXPECT_EQ(wine.nativePath("Dados", drive + "/Pelko"), drive + "/Pelko/Dados");
    EXPECT_EQ(wine.nativePath("C:\\Pelko\\.\\Dados\\..\\..\\Pelko"), drive + "/Pelko");

    // A prefix without its dosdevices link still has drive_c.
    QFile::remove(prefix + "/dosdevices/c:");
    EXPECT_EQ(wine.nativePath("C:\\Pelko"), drive + "/Pelko");
}

} // namespace

// The host writes DataVersao in its day/month/year form; the gate reads it so
// under every regional setting, and a date in the user's own short form too.
TEST(DataVersion, ReadUnderEveryRegionalSetting)
{
    using namespace std::chrono;
    struct Case {
        const char* locale;
        const char* text;
        year_month_day expected;  // ymd(): no date
    };
    // The short-date forms of those regional settings.
    const std::map<std::string, std::string> shortDate = {
        {"pt_BR", "dd/MM/yyyy"}, {"en_US", "M/d/yyyy"}, {"C", "d MMM yyyy"},
        {"sv_SE", "yyyy-MM-dd"}, {"de_DE", "dd.MM.yyyy"},
    };
    const auto ymd = [](int y = 0, unsigned m = 0, unsigned d = 0) {
        return year_month_day {year(y), month(m), day(d)};
    };
    const Case cases[] = {
        {"pt_BR", "22/03/2016", ymd(2016, 3, 22)},
        {"pt_BR", "21/03/2016", ymd(2016, 3, 21)},
        {"pt_BR", "1/1/24", ymd(2024, 1, 1)},
        {"en_US", "22/03/2016", ymd(2016, 3, 22)},  // no month 22: the host's form
        {"en_US", "21/03/2016", ymd(2016, 3, 21)},
        {"en_US", "3/22/2016", ymd(2016, 3, 22)},   // the user's own form first
        {"en_US", "02/03/2016", ymd(2016, 2, 3)},
        {"C", "22/03/2016", ymd(2016, 3, 22)},
        {"sv_SE", "2016-03-22", ymd(2016, 3, 22)},
        {"sv_SE", "21/03/2016", ymd(2016, 3, 21)},
        {"de_DE", "22.03.2016", ymd(2016, 3, 22)},
        {"de_DE", "22/03/2016", ymd(2016, 3, 22)},
        {"en_US", "22/03/16", ymd()},  // the host's form has four digits
        {"en_US", "31/02/2016", ymd()},
        {"pt_BR", "ontem", ymd()},
        {"en_US", "", ymd()},
        {"C", "22-03-2016", ymd()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.locale) + " " + c.text);
        os::RegionalSettings settings = os::neutralRegionalSettings();
        settings.shortDateFormat = shortDate.at(c.locale);
        const auto date = dataVersionDate(c.text, settings);
        EXPECT_EQ(date.value_or(ymd()), c.expected);
    }
    EXPECT_EQ(minimumDataVersion(), ymd(2016, 3, 22));
}

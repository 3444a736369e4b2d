// pdx: looks at and fills Paradox tables from the command line, through the
// same engine the window program uses.

#include "platform/os/file.h"
#include "platform/paradox/error.h"
#include "platform/paradox/file_users.h"
#include "platform/paradox/header.h"
#include "platform/paradox/table_create.h"
#include "platform/paradox/table_dump.h"
#include "platform/paradox/table_file.h"
#include "platform/paradox/table_writer.h"
#include "platform/paradox/text_form.h"
#include "platform/paradox/validity_checks.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

namespace {

int usage()
{
    std::cerr << "usage:\n"
                 "  pdx dump [-H] TABLE            print the table (-H: header only)\n"
                 "  pdx create [-b KB] [-c CODEPAGE] TABLE SCHEMA\n"
                 "                                 SCHEMA: Codigo:A6*,Nome:A60,Data:D,Preco:$ (* = key)\n"
                 "  pdx insert TABLE               add the tab-separated rows read from standard input\n"
                 "  pdx info TABLE                 the table's family of files, its state, and who uses it\n";
    return 2;
}

std::vector<std::string> splitTabs(const std::string& line)
{
    std::vector<std::string> parts;
    size_t start = 0;
    while (true) {
        const size_t tab = line.find('\t', start);
        parts.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
        if (tab == std::string::npos)
            return parts;
        start = tab + 1;
    }
}

int dump(int argc, char** argv)
{
    bool headerOnly = false;
    int i = 2;
    if (i < argc && std::strcmp(argv[i], "-H") == 0) {
        headerOnly = true;
        ++i;
    }
    if (i + 1 != argc)
        return usage();
    paradox::TableFile table(argv[i]);
    paradox::dumpTable(table, std::cout, headerOnly);
    return 0;
}

int create(int argc, char** argv)
{
    paradox::TableLayout options;
    int i = 2;
    while (i + 1 < argc && argv[i][0] == '-') {
        const std::string flag = argv[i];
        const std::string_view value = argv[i + 1];
        int number = 0;
        if (std::from_chars(value.data(), value.data() + value.size(), number).ec != std::errc())
            return usage();
        if (flag == "-b")
            options.blockSizeKb = number;
        else if (flag == "-c")
            options.codePage = number;
        else
            return usage();
        i += 2;
    }
    if (i + 2 != argc)
        return usage();
    paradox::TableLayout layout = paradox::parseSchema(argv[i + 1]);
    layout.blockSizeKb = options.blockSizeKb;
    layout.codePage = options.codePage;
    paradox::createTable(argv[i], layout);
    return 0;
}

// The header of any file of the family, or why it does not read.
std::string headerOf(const std::string& path, paradox::Header& header)
{
    os::File file;
    std::vector<uint8_t> bytes;
    uint64_t size = 0;
    if (os::File::open(path, os::Access::Read, file)) {
        size = uint64_t(std::max<int64_t>(file.size(), 0));
        bytes.resize(size_t(std::min<uint64_t>(size, 65536)));
        size_t got = 0;
        if (!file.readSomeAt(bytes.data(), bytes.size(), 0, got))
            got = 0;
        bytes.resize(got);
    }
    return paradox::parseHeader(bytes.data(), bytes.size(), size, header);
}

// The validity checks as the engine applies them, or why it cannot.
void printChecks(const std::string& tablePath, const std::string& valPath)
{
    std::cout << "regras de validação\n";
    try {
        paradox::TableFile table(tablePath);
        const paradox::ValidityChecks checks(valPath, table.header());
        for (const paradox::FieldCheck& c : checks.fields()) {
            const paradox::Field& f = table.fields()[size_t(c.field)];
            auto text = [&](const std::vector<uint8_t>& stored) {
                return paradox::valueText(f, paradox::decodeField(f, stored.data(), table.codePage()));
            };
            std::cout << "  " << f.name << ":";
            if (c.required)
                std::cout << " obrigatório";
            if (!c.minimum.empty())
                std::cout << " mínimo " << text(c.minimum);
            if (!c.maximum.empty())
                std::cout << " máximo " << text(c.maximum);
            if (!c.defaultValue.empty())
                std::cout << " padrão " << text(c.defaultValue);
            if (!c.picture.empty())
                std::cout << " máscara " << table.codePage().toUtf8(c.picture);
            if (!c.lookupTable.empty())
                std::cout << " consulta " << c.lookupTable;
            std::cout << "\n";
        }
        for (const paradox::Reference& r : checks.references()) {
            std::cout << "  integridade referencial:";
            for (int f : r.childFields)
                std::cout << ' ' << table.fields()[size_t(f)].name;
            std::cout << " -> " << r.parentTable << "\n";
        }
    } catch (const paradox::Error& e) {
        std::cout << "  " << e.what() << "\n";
    }
}

const char* kindOf(paradox::FileType t)
{
    switch (t) {
    case paradox::FileType::KeyedTable: return "tabela com chave";
    case paradox::FileType::UnkeyedTable: return "tabela sem chave";
    case paradox::FileType::PrimaryIndex: return "índice primário";
    case paradox::FileType::SecondaryMaintained: return "índice secundário mantido";
    case paradox::FileType::SecondaryNonMaintained: return "índice secundário não mantido";
    case paradox::FileType::CompositeMaintained: return "índice secundário composto mantido";
    case paradox::FileType::CompositeNonMaintained: return "índice secundário composto não mantido";
    default: return "índice do índice secundário";
    }
}

int info(int argc, char** argv)
{
    if (argc != 3)
        return usage();
    const std::string path = argv[2];
    for (const std::string& file : paradox::tableFamilyAndControlFiles(path)) {
        const std::string name = file.substr(file.find_last_of('/') + 1);
        std::string ext = name.substr(name.find_last_of('.') + 1);
        for (char& c : ext)
            c = char(std::toupper(static_cast<unsigned char>(c)));
        std::cout << name << ": ";
        paradox::Header h;
        if (ext == "MB") {
            std::cout << "memorandos\n";
        } else if (ext == "VAL") {
            printChecks(path, file);
        } else if (ext == "NET" || ext == "LCK") {
            std::cout << "arquivo de controle do banco de dados\n";
        } else if (const std::string problem = headerOf(file, h); !problem.empty()) {
            std::cout << "não lido (" << problem << ")\n";
        } else {
            std::cout << kindOf(h.fileType) << ", versão " << h.versionName() << ", " << h.recordCount << " registros, "
                      << h.blocksInUse << " de " << h.blocksInFile << " blocos de " << h.blockSize / 1024 << " KB";
            if (h.fileType == paradox::FileType::PrimaryIndex || h.fileType == paradox::FileType::SecondaryIndexOfX
                || h.fileType == paradox::FileType::CompositeIndexOfX)
                std::cout << ", " << h.indexLevels << " níveis, marca de alteração " << int(h.raw[paradox::offsets::stampCopy]);
            else
                std::cout << ", contador de alterações " << int(h.raw[paradox::offsets::changeCount])
                          << ", marca de estrutura " << int(h.raw[paradox::offsets::structureStamp]) << ", página de código "
                          << h.codePage << (h.sortOrderId.empty() ? "" : ", ordem " + h.sortOrderId);
            if (h.needsRebuild)
                std::cout << ", PRECISA SER RECONSTRUÍDO";
            if (h.encrypted)
                std::cout << ", criptografado";
            std::cout << "\n";
        }
    }
    paradox::ForeignUse use = paradox::foreignLock(paradox::tableFamilyAndControlFiles(path));
    if (!use.found)
        use = paradox::foreignOpenFile(paradox::tableFamilyAndControlFiles(path));
    if (use.found)
        std::cout << "em uso: " << (use.program.empty() ? "outro programa" : use.program)
                  << (use.pid ? " (processo " + std::to_string(use.pid) + ")" : std::string()) << ", " << use.how << " em "
                  << use.file << "\n";
    else
        std::cout << "em uso: por nenhum outro programa\n";
    return 0;
}

int insert(int argc, char** argv)
{
    if (argc != 3)
        return usage();
    paradox::TableFile table(argv[2]);
    std::string line;
    size_t lineNo = 0;
    size_t inserted = 0;
    while (std::getline(std::cin, line)) {
        ++lineNo;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const auto parts = splitTabs(line);
        const auto& fields = table.fields();
        try {
            if (parts.size() != fields.size())
                throw paradox::Error("a linha tem " + std::to_string(parts.size()) + " valores e a tabela "
                                     + std::to_string(fields.size()) + " campos.");
            std::vector<paradox::Value> values;
            for (size_t f = 0; f < fields.size(); ++f)
                values.push_back(paradox::parseValueText(fields[f], parts[f]));
            table.writer().insert(values);
            ++inserted;
        } catch (const paradox::Error& e) {
            std::cerr << "pdx: linha " << lineNo << ": " << e.what() << "\n";
            std::cerr << "pdx: " << inserted << " registros incluídos antes do erro.\n";
            return 1;
        }
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return usage();
    const std::string command = argv[1];
    try {
        if (command == "dump")
            return dump(argc, argv);
        if (command == "create")
            return create(argc, argv);
        if (command == "insert")
            return insert(argc, argv);
        if (command == "info")
            return info(argc, argv);
    } catch (const std::exception& e) {
        std::cerr << "pdx: " << e.what() << "\n";
        return 1;
    }
    return usage();
}

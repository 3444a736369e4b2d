// The engine in the import's pattern (a lookup on the CGC column, then an
// insert) on keyed client tables of 1 000, 10 000 and 100 000 rows, and plain
// inserts into an unkeyed table, ours beside pxlib's.

#include "platform/paradox/table_create.h"
#include "platform/paradox/table_file.h"
#include "platform/paradox/table_writer.h"
#include "platform/sql/query.h"
#include "platform/sql/session.h"

#ifdef WITH_PXLIB
extern "C" {
#include <paradox.h>
}
#endif

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

const char* const clientSchema =
    "Codigo:A6*,Data:D,Nome:A60,Endereco:A60,endNumero:A10,EndComplemento:A60,Bairro:A40,Cidade:A40,Estado:A2,"
    "CEP:A10,CGC:A18,Insc:A20,TagFisica:L,Telefone:A20,eMail:A60,lkUserInc:I";

std::string code(int n)
{
    char b[16];
    std::snprintf(b, sizeof b, "%06d", n);
    return b;
}

std::string cgc(int n)
{
    char b[32];
    std::snprintf(b, sizeof b, "%02d.%03d.%03d/0001-%02d", n / 1000000 % 100, n / 1000 % 1000, n % 1000, n % 97);
    return b;
}

std::vector<paradox::Value> clientRow(int n)
{
    std::vector<paradox::Value> row(16, paradox::Blank{});
    row[0] = code(n);
    row[1] = paradox::dateFromYmd(2026, 12, 10);
    row[2] = "Cliente número " + std::to_string(n);
    row[3] = std::string("Rua das Palmeiras");
    row[4] = std::to_string(n % 900);
    row[6] = std::string("Centro");
    row[7] = std::string("São Paulo");
    row[8] = std::string("SP");
    row[9] = std::string("01310-100");
    row[10] = cgc(n);
    row[12] = false;
    row[15] = int64_t(-1);
    return row;
}

double seconds(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }

void importPattern(const fs::path& dir, int rows, int operations)
{
    const std::string path = (dir / ("TabCli" + std::to_string(rows) + ".db")).string();
    paradox::createTable(path, paradox::parseSchema(clientSchema));
    {
        paradox::TableFile table(path);
        // Existing codes leave room for three new ones before each.
        for (int n = 0; n < rows; ++n)
            table.writer().insert(clientRow(4 * n + 4));
    }
    ::sync();  // the pages written while filling are not the run's to wait for
    db::Session session;
    db::Query query(session);
    query.setDatabaseName(dir.string());
    const std::string name = fs::path(path).stem().string();
    // The first statement reads the table and builds the lookup index: once a run.
    double first = 0;
    auto t0 = Clock::now();
    for (int i = 0; i <= operations; ++i) {
        if (i == 1) {
            first = seconds(t0, Clock::now());
            t0 = Clock::now();
        }
        // A new code between two existing ones, never the same twice.
        const int n = 4 * int((i * 7919LL) % rows) + 1 + i / rows;
        query.clearSql();
        query.addSql("SELECT * FROM " + name + " WHERE cgc = :pCGC");
        query.param(0).setAsString(cgc(n));
        query.open();
        const bool exists = query.recordCount() > 0;
        query.close();
        if (exists)
            continue;
        query.clearSql();
        query.addSql("insert into " + name + " ( Codigo, Nome, CGC, TagFisica, lkUserInc ) values ( :c, :n, :g, :t, -1 )");
        query.param(0).setAsString(code(n));
        query.param(1).setAsString("Novo " + std::to_string(n));
        query.param(2).setAsString(cgc(n));
        query.param(3).setAsBoolean(true);
        query.execSql();
    }
    const double s = seconds(t0, Clock::now());
    std::printf("%8d rows: first %7.1f ms, then %7.0f lookups+inserts/s  %7.1f us per row\n", rows, first * 1e3,
                operations / s, s * 1e6 / operations);
}

double ourUnkeyedInserts(const fs::path& dir, int rows)
{
    paradox::TableLayout layout = paradox::parseSchema(clientSchema);
    layout.fields[0].key = false;
    const std::string path = (dir / "ours.db").string();
    paradox::createTable(path, layout);
    paradox::TableFile table(path);
    const auto t0 = Clock::now();
    for (int n = 0; n < rows; ++n)
        table.writer().insert(clientRow(n));
    return rows / seconds(t0, Clock::now());
}

#ifdef WITH_PXLIB
double pxlibUnkeyedInserts(const fs::path& dir, int rows)
{
    pxdoc_t* doc = PX_new();
    const struct {
        const char* name;
        char type;
        int size;
    } layout[] = {{"Codigo", pxfAlpha, 6},   {"Data", pxfDate, 4},      {"Nome", pxfAlpha, 60},    {"Endereco", pxfAlpha, 60},
                {"endNumero", pxfAlpha, 10}, {"EndComplemento", pxfAlpha, 60}, {"Bairro", pxfAlpha, 40}, {"Cidade", pxfAlpha, 40},
                {"Estado", pxfAlpha, 2},   {"CEP", pxfAlpha, 10},     {"CGC", pxfAlpha, 18},     {"Insc", pxfAlpha, 20},
                {"TagFisica", pxfLogical, 1}, {"Telefone", pxfAlpha, 20}, {"eMail", pxfAlpha, 60}, {"lkUserInc", pxfLong, 4}};
    const int n = int(sizeof layout / sizeof layout[0]);
    auto* fields = static_cast<pxfield_t*>(doc->malloc(doc, sizeof(pxfield_t) * n, "fields"));
    int recordSize = 0;
    for (int i = 0; i < n; ++i) {
        fields[i].px_fname = PX_strdup(doc, layout[i].name);
        fields[i].px_ftype = layout[i].type;
        fields[i].px_flen = layout[i].size;
        fields[i].px_fdc = 0;
        recordSize += layout[i].size;
    }
    const std::string path = (dir / "pxlib.db").string();
    PX_create_file(doc, fields, n, path.c_str(), pxfFileTypNonIndexDB);
    std::vector<char> record(static_cast<size_t>(recordSize), 0);
    const auto t0 = Clock::now();
    for (int r = 0; r < rows; ++r) {
        std::memset(record.data(), 0, record.size());
        char* p = record.data();
        const std::string c = code(r), name = "Cliente número " + std::to_string(r), g = cgc(r), num = std::to_string(r % 900);
        PX_put_data_alpha(doc, p, 6, const_cast<char*>(c.c_str()));
        PX_put_data_long(doc, p + 6, 4, 739595);
        PX_put_data_alpha(doc, p + 10, 60, const_cast<char*>(name.c_str()));
        PX_put_data_alpha(doc, p + 70, 60, const_cast<char*>("Rua das Palmeiras"));
        PX_put_data_alpha(doc, p + 130, 10, const_cast<char*>(num.c_str()));
        PX_put_data_alpha(doc, p + 200, 40, const_cast<char*>("Centro"));
        PX_put_data_alpha(doc, p + 240, 40, const_cast<char*>("Sao Paulo"));
        PX_put_data_alpha(doc, p + 280, 2, const_cast<char*>("SP"));
        PX_put_data_alpha(doc, p + 282, 10, const_cast<char*>("01310-100"));
        PX_put_data_alpha(doc, p + 292, 18, const_cast<char*>(g.c_str()));
        PX_put_data_byte(doc, p + 330, 1, char(0x80));
        PX_put_data_long(doc, p + 411, 4, -1);
        PX_put_record(doc, record.data());
    }
    PX_close(doc);
    const double rate = rows / seconds(t0, Clock::now());
    PX_delete(doc);
    return rate;
}
#endif

} // namespace

int main(int argc, char** argv)
{
    const fs::path dir = fs::temp_directory_path() / "tessaly_engine_bench";
    fs::remove_all(dir);
    fs::create_directories(dir);
    std::printf("Import pattern on a keyed client table (2 KB blocks), 2000 operations each:\n");
    // A size given on the command line runs that one alone.
    const std::vector<int> sizes = argc > 1 ? std::vector<int>{std::atoi(argv[1])} : std::vector<int>{1000, 10000, 100000};
    for (int rows : sizes)
        importPattern(dir, rows, 2000);
    if (argc > 1)
        return 0;
    const int plain = 20000;
    std::printf("Plain inserts of %d rows into an unkeyed table:\n", plain);
    std::printf("  this engine: %9.0f rows/s\n", ourUnkeyedInserts(dir, plain));
#ifdef WITH_PXLIB
    PX_boot();
    std::printf("  pxlib:       %9.0f rows/s\n", pxlibUnkeyedInserts(dir, plain));
#endif
    fs::remove_all(dir);
}

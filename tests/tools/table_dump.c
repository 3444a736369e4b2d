/* table_dump: prints a table through pxlib, a reader written by others, so
 * that the tests can hold our engine's reading and writing against it.
 *
 *   table_dump [-e ENCODING] [-x PRIMARY_INDEX] [-H] TABLE
 *
 * Prints the header as "# key: value" lines and one "# field N: NAME TYPE
 * LENGTH" line a field (the same lines as the engine's own dump), then the
 * records, one a line, values separated by tabs, a null as \N. With -x the
 * primary index is read and checked too; -H leaves the records out. Status 1
 * when pxlib reported any error, 2 on wrong use. */
#include <paradox.h>

#include <iconv.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

static int reported_errors;

static void count_error(pxdoc_t *doc, int type, const char *text, void *data)
{
    (void)doc;
    (void)data;
    fprintf(stderr, "pxlib error %d: %s\n", type, text);
    ++reported_errors;
}

static const char *type_letter(int type)
{
    static const struct { int type; const char *letter; } letters[] = {
        {pxfAlpha, "A"},   {pxfDate, "D"},       {pxfShort, "S"},       {pxfLong, "I"},
        {pxfCurrency, "$"}, {pxfNumber, "N"},    {pxfLogical, "L"},     {pxfMemoBLOb, "M"},
        {pxfBLOb, "B"},    {pxfFmtMemoBLOb, "F"}, {pxfOLE, "O"},        {pxfGraphic, "G"},
        {pxfTime, "T"},    {pxfTimestamp, "@"},  {pxfAutoInc, "+"},     {pxfBCD, "#"},
        {pxfBytes, "Y"},
    };
    for (size_t i = 0; i < sizeof letters / sizeof letters[0]; ++i)
        if (letters[i].type == type)
            return letters[i].letter;
    return "?";
}

/* pxlib recodes values but leaves field names in the table's code page. */
static void put_field_name(const char *name, int code_page, const char *encoding)
{
    char source[24];
    snprintf(source, sizeof source, "CP%d", code_page);
    iconv_t conv = code_page != 0 ? iconv_open(encoding, source) : (iconv_t)-1;
    if (conv != (iconv_t)-1) {
        char recoded[1024];
        char *in = (char *)name;
        char *out = recoded;
        size_t in_left = strlen(name);
        size_t out_left = sizeof recoded - 1;
        const int ok = iconv(conv, &in, &in_left, &out, &out_left) != (size_t)-1;
        iconv_close(conv);
        if (ok) {
            *out = '\0';
            fputs(recoded, stdout);
            return;
        }
    }
    fputs(name, stdout);
}

/* Declared by no public header, yet exported: pxlib's own reading of a memo
 * file. PX_set_blob_file of Debian's pxlib 0.6.8 smashes its stack while it
 * indexes the blocks (only writing needs that index), so the memo file is
 * attached here with these functions instead. */
pxstream_t *px_stream_new_file(pxdoc_t *doc, int mode, int close, FILE *file);
ssize_t px_mb_read(pxblob_t *blob, pxstream_t *stream, size_t length, void *buffer);
int px_mb_seek(pxblob_t *blob, pxstream_t *stream, long offset, int whence);
long px_mb_tell(pxblob_t *blob, pxstream_t *stream);
ssize_t px_mb_write(pxblob_t *blob, pxstream_t *stream, size_t length, void *buffer);
mbhead_t *get_mb_head(pxblob_t *blob, pxstream_t *stream);

static void attach_memo_file(pxdoc_t *doc, const char *table)
{
    const size_t length = strlen(table);
    if (length < 3)
        return;
    char *memo = strdup(table);
    if (memo == NULL)
        return;
    /* The memo file shares the table's stem; its extension may be in any case. */
    static const char *const endings[] = {"MB", "mb", "Mb", "mB"};
    FILE *file = NULL;
    for (size_t i = 0; i < 4 && file == NULL; ++i) {
        memcpy(memo + length - 2, endings[i], 2);
        file = fopen(memo, "rb");
    }
    free(memo);
    if (file == NULL)
        return;
    pxblob_t *blob = PX_new_blob(doc);
    if (blob == NULL) {
        fclose(file);
        return;
    }
    blob->mb_stream = px_stream_new_file(doc, pxfFileRead, 1, file);
    if (blob->mb_stream == NULL) {
        fclose(file);
        return;
    }
    blob->read = (size_t (*)(pxblob_t *, pxstream_t *, size_t, void *))px_mb_read;
    blob->write = (size_t (*)(pxblob_t *, pxstream_t *, size_t, void *))px_mb_write;
    blob->seek = px_mb_seek;
    blob->tell = px_mb_tell;
    blob->mb_head = get_mb_head(blob, blob->mb_stream);
    doc->px_blob = blob;
}

static void put_escaped(const char *text, int length)
{
    for (int i = 0; i < length && text[i] != '\0'; ++i) {
        switch (text[i]) {
        case '\t': fputs("\\t", stdout); break;
        case '\n': fputs("\\n", stdout); break;
        case '\r': fputs("\\r", stdout); break;
        case '\\': fputs("\\\\", stdout); break;
        default: putchar(text[i]);
        }
    }
}

static void put_formatted(pxdoc_t *doc, char *text)
{
    fputs(text, stdout);
    doc->free(doc, text);
}

static int holds_text(int type)
{
    return type == pxfAlpha || type == pxfMemoBLOb || type == pxfFmtMemoBLOb || type == pxfBCD || type == pxfBLOb
           || type == pxfGraphic || type == pxfOLE || type == pxfBytes;
}

static void put_value(pxdoc_t *doc, int type, const pxval_t *value)
{
    if (value == NULL || value->isnull) {
        fputs("\\N", stdout);
        return;
    }
    switch (type) {
    case pxfAlpha:
    case pxfMemoBLOb:
    case pxfFmtMemoBLOb:
    case pxfBCD: put_escaped(value->value.str.val, value->value.str.len); break;
    case pxfDate: put_formatted(doc, PX_date2string(doc, value->value.lval, "Y-m-d")); break;
    case pxfTime: put_formatted(doc, PX_time2string(doc, value->value.lval, "H:i:s")); break;
    case pxfTimestamp: put_formatted(doc, PX_timestamp2string(doc, value->value.dval, "Y-m-d H:i:s")); break;
    case pxfShort:
    case pxfLong:
    case pxfAutoInc:
    case pxfLogical: printf("%ld", value->value.lval); break;
    case pxfCurrency:
    case pxfNumber: printf("%.4f", value->value.dval); break;
    default: printf("<%d bytes>", value->value.str.len);
    }
}

static void put_header(const pxhead_t *head, const char *encoding)
{
    printf("# file_version: %d\n", head->px_fileversion);
    printf("# file_type: %d\n", head->px_filetype);
    printf("# code_page: %d\n", head->px_doscodepage);
    printf("# records: %d\n", head->px_numrecords);
    printf("# record_size: %d\n", head->px_recordsize);
    printf("# header_size: %d\n", head->px_headersize);
    printf("# block_size_kb: %d\n", head->px_maxtablesize);
    printf("# blocks: %u\n", (unsigned)head->px_fileblocks);
    printf("# first_block: %u\n", (unsigned)head->px_firstblock);
    printf("# last_block: %u\n", (unsigned)head->px_lastblock);
    printf("# key_fields: %d\n", head->px_primarykeyfields);
    printf("# autoinc: %d\n", head->px_autoinc);
    printf("# table_name: %s\n", head->px_tablename != NULL ? head->px_tablename : "");
    printf("# fields: %d\n", head->px_numfields);
    for (int i = 0; i < head->px_numfields; ++i) {
        printf("# field %d: ", i);
        put_field_name(head->px_fields[i].px_fname, head->px_doscodepage, encoding);
        printf(" %s %d\n", type_letter(head->px_fields[i].px_ftype), head->px_fields[i].px_flen);
    }
}

static int put_records(pxdoc_t *doc)
{
    const pxhead_t *head = doc->px_head;
    for (int r = 0; r < head->px_numrecords; ++r) {
        pxval_t **values = PX_retrieve_record(doc, r);
        if (values == NULL) {
            fprintf(stderr, "record %d unreadable\n", r);
            return -1;
        }
        for (int i = 0; i < head->px_numfields; ++i) {
            if (i > 0)
                putchar('\t');
            put_value(doc, head->px_fields[i].px_ftype, values[i]);
            if (values[i] != NULL) {
                if (holds_text(values[i]->type) && values[i]->value.str.val != NULL)
                    doc->free(doc, values[i]->value.str.val);
                doc->free(doc, values[i]);
            }
        }
        doc->free(doc, values);
        putchar('\n');
    }
    return 0;
}

static int wrong_use(void)
{
    fputs("usage: table_dump [-e ENCODING] [-x PRIMARY_INDEX] [-H] TABLE\n", stderr);
    return 2;
}

int main(int argc, char **argv)
{
    const char *encoding = "UTF-8";
    const char *primary_index = NULL;
    int records = 1;
    for (int option; (option = getopt(argc, argv, "e:x:H")) != -1;) {
        if (option == 'e')
            encoding = optarg;
        else if (option == 'x')
            primary_index = optarg;
        else if (option == 'H')
            records = 0;
        else
            return wrong_use();
    }
    if (argc - optind != 1)
        return wrong_use();
    const char *table = argv[optind];

    PX_boot();
    pxdoc_t *doc = PX_new2(count_error, NULL, NULL, NULL);
    if (doc == NULL || PX_open_file(doc, table) < 0)
        return 1;
    /* Old tables name no code page; their text is printed as it is stored. */
    if (doc->px_head->px_doscodepage != 0 && PX_has_recode_support() && PX_set_targetencoding(doc, encoding) < 0)
        return 1;
    put_header(doc->px_head, encoding);
    attach_memo_file(doc, table);
    if (primary_index != NULL) {
        pxdoc_t *index = PX_new2(count_error, NULL, NULL, NULL);
        if (index == NULL || PX_open_file(index, primary_index) < 0 || PX_read_primary_index(index) < 0)
            return 1;
        printf("# index_records: %d\n# index_levels: %d\n", index->px_head->px_numrecords,
               index->px_head->px_numindexlevels);
        if (PX_add_primary_index(doc, index) < 0)
            return 1;
    }
    if (records && put_records(doc) < 0)
        return 1;
    fflush(stdout);
    PX_close(doc);
    PX_delete(doc);
    PX_shutdown();
    return reported_errors == 0 ? 0 : 1;
}

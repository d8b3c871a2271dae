/* Checks the mingw builds of libarchive and libjpeg under Wine.
   Usage: deps_probe IMAGE.jpg ARCHIVE...
   Each archive must hold greeting.txt with GREETING and an entry named piste-<e acute>.txt (its
   name stored as UTF-8, read back as UTF-16 without iconv); the image must be solid red, 16x8.
   Prints one line per check and PASS when all hold; exits 1 on the first failure. */
#include <stdio.h>
#include <string.h>
#include <wchar.h>
#include <archive.h>
#include <archive_entry.h>
#include <jpeglib.h>

#define GREETING "hello from the archive\n"

static int fail(const char *what, const char *detail)
{
    fprintf(stderr, "deps_probe: FAIL: %s: %s\n", what, detail ? detail : "");
    return 1;
}

static int check_archive(const char *path)
{
    struct archive *a = archive_read_new();
    struct archive_entry *entry;
    char text[256];
    int found_text = 0, found_name = 0;
    archive_read_support_filter_all(a);
    archive_read_support_format_all(a);
    if (archive_read_open_filename(a, path, 10240) != ARCHIVE_OK)
        return fail(path, archive_error_string(a));
    for (;;) {
        int r = archive_read_next_header(a, &entry);
        if (r == ARCHIVE_EOF)
            break;
        if (r != ARCHIVE_OK)
            return fail(path, archive_error_string(a));
        const wchar_t *wname = archive_entry_pathname_w(entry);
        if (wname && wcscmp(wname, L"piste-\u00e9.txt") == 0)
            found_name = 1;
        if (strcmp(archive_entry_pathname(entry), "greeting.txt") == 0) {
            la_ssize_t n = archive_read_data(a, text, sizeof text - 1);
            if (n < 0)
                return fail(path, archive_error_string(a));
            text[n] = '\0';
            if (strcmp(text, GREETING) != 0)
                return fail(path, "greeting.txt has other text");
            found_text = 1;
        }
    }
    printf("archive %s: format %s, filter %s\n", path, archive_format_name(a), archive_filter_name(a, 0));
    archive_read_free(a);
    if (!found_text)
        return fail(path, "no greeting.txt");
    if (!found_name)
        return fail(path, "the non-ASCII name did not read back");
    return 0;
}

static int check_jpeg(const char *path)
{
    struct jpeg_decompress_struct info;
    struct jpeg_error_mgr err; /* its error_exit ends the program with a message */
    unsigned char row[16 * 3];
    JSAMPROW rows[1] = {row};
    FILE *f = fopen(path, "rb");
    if (!f)
        return fail(path, "cannot open");
    info.err = jpeg_std_error(&err);
    jpeg_create_decompress(&info);
    jpeg_stdio_src(&info, f);
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    if (info.output_width != 16 || info.output_height != 8 || info.output_components != 3)
        return fail(path, "not a 16x8 RGB image");
    int red = 1;
    while (info.output_scanline < info.output_height) {
        jpeg_read_scanlines(&info, rows, 1);
        for (int x = 0; x < 16; ++x)
            red = red && row[3 * x] > 240 && row[3 * x + 1] < 16 && row[3 * x + 2] < 16;
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    fclose(f);
    if (!red)
        return fail(path, "pixels are not red");
    printf("jpeg %s: 16x8, red\n", path);
    return 0;
}

int main(int argc, char **argv)
{
    if (argc < 3)
        return fail("usage", "deps_probe IMAGE.jpg ARCHIVE...");
    printf("%s\n", archive_version_details());
    if (check_jpeg(argv[1]) != 0)
        return 1;
    for (int i = 2; i < argc; ++i)
        if (check_archive(argv[i]) != 0)
            return 1;
    printf("PASS\n");
    return 0;
}

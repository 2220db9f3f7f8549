/* The 15-generation ancestor chart written with libxlsxwriter alone, in its constant-memory mode: the
 * yardstick for rootweave-chart's whole-process time (bench_chart_vs_xlsxwriter.sh runs the two in turns).
 * The same sheet: Tahoma, column A 2 and B..F 24 characters wide, the heading merged across B..F, boxes
 * filled lime green with a thin line all round, and the thin right-hand line that joins each pair of boxes
 * to the next generation. Rows must be written in order, so each row's cells are worked out first.
 *   xlsxwriter_chart <generations> <name> <output.xlsx>
 */
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <xlsxwriter.h>

enum { kNone = 0, kConnector = 1, kBox = 2 };

int main(int argc, char** argv) {
    if (argc != 4) {
        fprintf(stderr, "usage: xlsxwriter_chart <generations> <name> <output.xlsx>\n");
        return 2;
    }
    const int generations = atoi(argv[1]);
    if (generations < 1 || generations > 15) {
        fprintf(stderr, "xlsxwriter_chart: 1 to 15 generations\n");
        return 2;
    }
    /* The boxes and joining lines, generation by generation, as the chart's layout places them. */
    const int columns = generations;
    int lastRow = 4;
    {
        long offset = 0, previous = 1, spacing = 2;
        for (int g = generations - 1; g >= 0; --g) {
            offset += previous;
            previous = offset;
            const long boxes = 1L << g;
            const long last = offset + 4 + (boxes - 1) * spacing;
            if (last > lastRow) {
                lastRow = (int)last;
            }
            spacing *= 2;
        }
    }
    unsigned char* kind = calloc((size_t)(lastRow + 1) * (size_t)columns, 1);
    if (kind == NULL) {
        return 1;
    }
    {
        long offset = 0, previous = 1, spacing = 2;
        int column = 0;
        for (int g = generations - 1; g >= 0; --g, ++column) {
            offset += previous;
            previous = offset;
            long row = offset + 4;
            const long boxes = 1L << g;
            for (long b = 1; b <= boxes; ++b) {
                if (b < boxes) {
                    for (long r = row; r <= row + spacing; ++r) {
                        if (kind[r * columns + column] == kNone) {
                            kind[r * columns + column] = kConnector;
                        }
                    }
                }
                kind[row * columns + column] = kBox;
                row += spacing;
            }
            spacing *= 2;
        }
    }

    lxw_workbook_options options = {.constant_memory = LXW_TRUE, .tmpdir = NULL};
    lxw_workbook* book = workbook_new_opt(argv[3], &options);
    lxw_worksheet* sheet = workbook_add_worksheet(book, NULL);
    lxw_format* plain = workbook_add_format(book);
    format_set_font_name(plain, "Tahoma");
    lxw_format* box = workbook_add_format(book);
    format_set_font_name(box, "Tahoma");
    format_set_pattern(box, LXW_PATTERN_SOLID);
    format_set_bg_color(box, 0x99CC00);
    format_set_border(box, LXW_BORDER_THIN);
    lxw_format* connector = workbook_add_format(book);
    format_set_font_name(connector, "Tahoma");
    format_set_right(connector, LXW_BORDER_THIN);
    lxw_format* title = workbook_add_format(book);
    format_set_font_name(title, "Tahoma");
    format_set_font_size(title, 20);
    format_set_font_color(title, 0x808080);
    format_set_align(title, LXW_ALIGN_LEFT);
    lxw_format* subtitle = workbook_add_format(book);
    format_set_font_name(subtitle, "Tahoma");
    format_set_font_size(subtitle, 11);
    format_set_align(subtitle, LXW_ALIGN_LEFT);

    worksheet_set_column(sheet, 0, 0, 2, plain);
    worksheet_set_column(sheet, 1, 5, 24, plain);
    if (columns > 5) {
        worksheet_set_column(sheet, 6, (lxw_col_t)columns, 8.43, plain);
    }
    char text[256];
    snprintf(text, sizeof text, "Family Tree for %s", argv[2]);
    worksheet_merge_range(sheet, 1, 1, 1, 5, text, title);
    snprintf(text, sizeof text, "%d Generations", generations);
    worksheet_merge_range(sheet, 2, 1, 2, 5, text, subtitle);
    for (int r = 4; r <= lastRow; ++r) {
        for (int c = 0; c < columns; ++c) {
            const unsigned char k = kind[r * columns + c];
            if (k != kNone) {
                worksheet_write_blank(sheet, (lxw_row_t)(r - 1), (lxw_col_t)(c + 1),
                                      k == kBox ? box : connector);
            }
        }
    }
    free(kind);
    const lxw_error error = workbook_close(book);
    if (error != LXW_NO_ERROR) {
        fprintf(stderr, "xlsxwriter_chart: %s\n", lxw_strerror(error));
        return 1;
    }
    return 0;
}

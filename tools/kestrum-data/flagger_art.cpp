// The pictures of the track officials: the starter's five poses, the lap
// board's four faces and the flag marshal at rest and alert. RGBA, clear
// round the figure, first row at the top; every track names the same set.
#include "dataset.h"
#include "image_out.h"
#include "paint.h"

namespace {

const Rgb SKIN{214, 172, 132}, DARK{40, 40, 48}, WHITE{245, 245, 240}, BLACK{20, 20, 20};

Image clear_picture(int w, int h)
{
    Image im = image_make(w, h, 4);
    paint_rect(im, 0, 0, w, h, Rgb{0, 0, 0}, 0);
    return im;
}

// A standing figure 128 pixels tall centred at x, with legs apart by
// stride pixels at the feet; arms are drawn by the caller.
void figure(Image& im, double x, Rgb shirt, double stride)
{
    paint_line(im, x - 4, 80, x - 4 - stride / 2, 126, 7, DARK, 255);
    paint_line(im, x + 4, 80, x + 4 + stride / 2, 126, 7, DARK, 255);
    paint_rect(im, int(x) - 10, 40, int(x) + 10, 84, shirt, 255);
    paint_circle(im, x, 30, 9, SKIN, 255);
    paint_rect(im, int(x) - 9, 19, int(x) + 9, 25, DARK, 255);   // cap
}

void arm(Image& im, double x0, double y0, double x1, double y1, Rgb sleeve)
{
    paint_line(im, x0, y0, x1, y1, 5, sleeve, 255);
    paint_circle(im, x1, y1, 3, SKIN, 255);
}

// Seven-segment digit in a w x h box at (x, y).
void digit(Image& im, int d, int x, int y, int w, int h, Rgb c)
{
    static const int segs[10] = {0x3f, 0x06, 0x5b, 0x4f, 0x66, 0x6d, 0x7d, 0x07, 0x7f, 0x6f};
    int t = w / 5 + 1, m = y + h / 2;
    int on = segs[d % 10];
    if (on & 1) paint_rect(im, x, y, x + w, y + t, c, 255);
    if (on & 2) paint_rect(im, x + w - t, y, x + w, m, c, 255);
    if (on & 4) paint_rect(im, x + w - t, m, x + w, y + h, c, 255);
    if (on & 8) paint_rect(im, x, y + h - t, x + w, y + h, c, 255);
    if (on & 16) paint_rect(im, x, m, x + t, y + h, c, 255);
    if (on & 32) paint_rect(im, x, y, x + t, m, c, 255);
    if (on & 64) paint_rect(im, x, m - t / 2, x + w, m + t / 2 + 1, c, 255);
}

const Rgb STARTER_SHIRT{30, 90, 170};

// Pose 0: the "30" board held high; 1: the board turned sideways; 2: the
// board dropped; 3: walking off; 4: standing clear.
Image starter(int pose)
{
    Image im = clear_picture(64, 128);
    double stride = pose == 3 ? 18 : 6;
    figure(im, 32, STARTER_SHIRT, stride);
    if (pose <= 1) {
        arm(im, 24, 44, 18, 14, STARTER_SHIRT);
        arm(im, 40, 44, 46, 14, STARTER_SHIRT);
        if (pose == 0) {
            paint_rect(im, 8, 0, 56, 16, Rgb{250, 210, 30}, 255);
            digit(im, 3, 16, 2, 12, 12, BLACK);
            digit(im, 0, 34, 2, 12, 12, BLACK);
        } else {
            paint_rect(im, 29, 0, 35, 16, Rgb{250, 210, 30}, 255);   // edge on
        }
    } else if (pose == 2) {
        arm(im, 24, 44, 14, 78, STARTER_SHIRT);
        arm(im, 40, 44, 50, 78, STARTER_SHIRT);
        paint_rect(im, 4, 80, 22, 92, Rgb{250, 210, 30}, 255);
    } else {
        arm(im, 24, 44, 20, 76, STARTER_SHIRT);
        arm(im, 40, 44, 44, 76, STARTER_SHIRT);
    }
    return im;
}

// The lap board: a white board held overhead. 0 plain, 1 halfway (crossed
// flags), 2 last lap (white flag), 3 finished (chequered).
Image lapboard(int face)
{
    Image im = clear_picture(128, 128);
    const Rgb shirt{60, 60, 70};
    figure(im, 64, shirt, 6);
    arm(im, 56, 44, 44, 20, shirt);
    arm(im, 72, 44, 84, 20, shirt);
    paint_rect(im, 14, 0, 114, 22, BLACK, 255);
    paint_rect(im, 17, 2, 111, 20, WHITE, 255);
    if (face == 1) {
        paint_line(im, 40, 4, 88, 18, 3, Rgb{30, 140, 40}, 255);
        paint_line(im, 40, 18, 88, 4, 3, Rgb{30, 140, 40}, 255);
    } else if (face == 2) {
        paint_rect(im, 50, 4, 78, 18, BLACK, 255);
        paint_rect(im, 52, 6, 76, 16, WHITE, 255);
    } else if (face == 3) {
        for (int y = 2; y < 20; y += 6)
            for (int x = 17; x < 111; x += 6)
                if (((x - 17) / 6 + (y - 2) / 6) % 2 == 0)
                    paint_rect(im, x, y, x + 6, y + 6, BLACK, 255);
    }
    return im;
}

// The flag marshal in an orange vest: flag furled at the side, or waved
// overhead when a rider is down ahead.
Image marshal(bool alert)
{
    Image im = clear_picture(64, 128);
    const Rgb vest{240, 120, 20}, flag{250, 220, 20};
    figure(im, 32, vest, 6);
    arm(im, 24, 44, 20, 76, vest);
    if (alert) {
        arm(im, 40, 44, 50, 14, vest);
        paint_line(im, 50, 14, 50, 0, 2, DARK, 255);
        paint_polygon(im, {50, 0, 64, 2, 62, 14, 50, 12}, flag, 255);
    } else {
        arm(im, 40, 44, 46, 76, vest);
        paint_line(im, 46, 76, 46, 118, 2, DARK, 255);
        paint_polygon(im, {46, 90, 52, 92, 52, 116, 46, 118}, flag, 255);
    }
    return im;
}

bool build_flagger_art(DataSet& ds)
{
    const char* starters[5] = {"starter-30", "starter-sideways", "starter-drop", "starter-walk", "starter-done"};
    for (int k = 0; k < 5; k++)
        dataset_add(ds, std::string("flaggers/") + starters[k] + ".png", image_encode_png(starter(k)));
    const char* faces[4] = {"lapboard-normal", "lapboard-halfway", "lapboard-lastlap", "lapboard-finished"};
    for (int k = 0; k < 4; k++)
        dataset_add(ds, std::string("flaggers/") + faces[k] + ".png", image_encode_png(lapboard(k)));
    dataset_add(ds, "flaggers/marshal.png", image_encode_png(marshal(false)));
    dataset_add(ds, "flaggers/marshal-alert.png", image_encode_png(marshal(true)));
    return true;
}

}  // namespace

KESTRUM_DATA_BUILDER("flagger pictures", 110, build_flagger_art);

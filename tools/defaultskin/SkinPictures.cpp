// Draws the bitmaps of the reference host's default skin (and the small pictures the UI tests use)
// into BMP files. Runs on the build machine: skinpictures OUTDIR default|test
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace {

struct Rgb {
    uint8_t r, g, b;
    bool operator<(const Rgb& o) const {
        return (r << 16 | g << 8 | b) < (o.r << 16 | o.g << 8 | o.b);
    }
    bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
};

// The colour the dialogs cut out of their window.
constexpr Rgb kTransparent{0, 255, 0};

struct Picture {
    int width, height;
    std::vector<Rgb> pixels;  // top-down
    Picture(int w, int h, Rgb fill) : width(w), height(h), pixels(size_t(w) * h, fill) {}
    Rgb& at(int x, int y) { return pixels[size_t(y) * width + x]; }
    void Fill(const std::function<Rgb(int, int)>& colourAt) {
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) at(x, y) = colourAt(x, y);
    }
};

void Put16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(v & 0xFF);
    out.push_back(v >> 8);
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back((v >> (8 * i)) & 0xFF);
}

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

void PutHeaders(std::vector<uint8_t>& out, const Picture& p, int bits, uint32_t paletteSize,
                uint32_t imageSize) {
    const uint32_t offset = 14 + 40 + paletteSize * 4;
    out.push_back('B');
    out.push_back('M');
    Put32(out, offset + imageSize);
    Put32(out, 0);
    Put32(out, offset);
    Put32(out, 40);
    Put32(out, uint32_t(p.width));
    Put32(out, uint32_t(p.height));  // bottom-up
    Put16(out, 1);
    Put16(out, uint16_t(bits));
    Put32(out, 0);  // BI_RGB
    Put32(out, imageSize);
    Put32(out, 2835);
    Put32(out, 2835);
    Put32(out, paletteSize);
    Put32(out, 0);
}

bool Write24(const std::string& path, const Picture& p) {
    const uint32_t stride = (uint32_t(p.width) * 3 + 3) & ~3u;
    std::vector<uint8_t> out;
    PutHeaders(out, p, 24, 0, stride * p.height);
    for (int y = p.height - 1; y >= 0; --y) {
        size_t start = out.size();
        for (int x = 0; x < p.width; ++x) {
            const Rgb& c = p.pixels[size_t(y) * p.width + x];
            out.push_back(c.b);
            out.push_back(c.g);
            out.push_back(c.r);
        }
        while (out.size() - start < stride) out.push_back(0);
    }
    return WriteFile(path, out);
}

// The same picture with a colour table; fails when it has more than 256 colours.
bool Write8(const std::string& path, const Picture& p) {
    std::map<Rgb, uint8_t> index;
    std::vector<Rgb> palette;
    for (const Rgb& c : p.pixels) {
        if (index.count(c)) continue;
        if (palette.size() == 256) return false;
        index[c] = uint8_t(palette.size());
        palette.push_back(c);
    }
    const uint32_t stride = (uint32_t(p.width) + 3) & ~3u;
    std::vector<uint8_t> out;
    PutHeaders(out, p, 8, uint32_t(palette.size()), stride * p.height);
    for (const Rgb& c : palette) {
        out.push_back(c.b);
        out.push_back(c.g);
        out.push_back(c.r);
        out.push_back(0);
    }
    for (int y = p.height - 1; y >= 0; --y) {
        size_t start = out.size();
        for (int x = 0; x < p.width; ++x) out.push_back(index[p.pixels[size_t(y) * p.width + x]]);
        while (out.size() - start < stride) out.push_back(0);
    }
    return WriteFile(path, out);
}

Rgb Mix(Rgb a, Rgb b, double t) {
    auto lerp = [t](uint8_t u, uint8_t v) { return uint8_t(std::lround(u + (v - u) * t)); };
    return {lerp(a.r, b.r), lerp(a.g, b.g), lerp(a.b, b.b)};
}

// Whether (x, y) lies outside the rounded corners of a w x h shape.
bool OutsideCorner(int x, int y, int w, int h, int radius) {
    int cx = x < radius ? radius : (x >= w - radius ? w - radius - 1 : x);
    int cy = y < radius ? radius : (y >= h - radius ? h - radius - 1 : y);
    if (cx == x || cy == y) return false;
    double dx = x - cx, dy = y - cy;
    return dx * dx + dy * dy > double(radius) * radius;
}

// The dialog background: a rounded window with a title band, cut out by pure green.
Picture Background(int w, int h, int titleHeight, Rgb top, Rgb bottom, Rgb body, Rgb border) {
    Picture p(w, h, body);
    const int radius = 7;
    p.Fill([&](int x, int y) {
        if (OutsideCorner(x, y, w, h, radius)) return kTransparent;
        if (OutsideCorner(x, y, w, h, radius - 1) || x == 0 || y == 0 || x == w - 1 || y == h - 1)
            return border;
        if (y < titleHeight) return Mix(top, bottom, double(y) / titleHeight);
        if (y == titleHeight) return border;
        return body;
    });
    return p;
}

// A button face: a vertical gradient in a one-pixel frame.
Picture Face(int w, int h, Rgb top, Rgb bottom, Rgb frame) {
    Picture p(w, h, top);
    p.Fill([&](int x, int y) {
        if (x == 0 || y == 0 || x == w - 1 || y == h - 1) return frame;
        return Mix(top, bottom, double(y) / (h - 1));
    });
    return p;
}

Picture CloseButton(Rgb top, Rgb bottom) {
    Picture p = Face(18, 19, top, bottom, Rgb{120, 30, 25});
    for (int i = 5; i <= 12; ++i) {
        for (int d = 0; d < 2; ++d) {
            p.at(i + d - 0, i + 1) = Rgb{255, 255, 255};
            p.at(17 - i - d, i + 1) = Rgb{255, 255, 255};
        }
    }
    return p;
}

Picture ComboArrow(Rgb top, Rgb bottom) {
    Picture p = Face(17, 20, top, bottom, Rgb{120, 140, 170});
    for (int row = 0; row < 4; ++row)
        for (int x = 5 + row; x <= 11 - row; ++x) p.at(x, 8 + row) = Rgb{40, 60, 100};
    return p;
}

bool WriteDefault(const std::string& dir) {
    const Rgb frame{120, 140, 170};
    bool ok = Write24(dir + "/background.bmp",
                      Background(386, 284, 30, Rgb{58, 110, 180}, Rgb{32, 74, 138},
                                 Rgb{236, 242, 250}, Rgb{28, 60, 110}));
    ok = Write24(dir + "/close.bmp", CloseButton(Rgb{214, 82, 66}, Rgb{176, 48, 36})) && ok;
    ok = Write24(dir + "/close_hover.bmp", CloseButton(Rgb{240, 120, 100}, Rgb{206, 70, 56})) && ok;
    ok = Write24(dir + "/close_down.bmp", CloseButton(Rgb{150, 40, 30}, Rgb{190, 60, 48})) && ok;
    ok =
        Write24(dir + "/button.bmp", Face(75, 23, Rgb{252, 253, 255}, Rgb{214, 224, 240}, frame)) &&
        ok;
    ok = Write24(dir + "/button_hover.bmp",
                 Face(75, 23, Rgb{255, 251, 236}, Rgb{246, 226, 170}, Rgb{200, 160, 80})) &&
         ok;
    ok = Write24(dir + "/button_down.bmp",
                 Face(75, 23, Rgb{200, 212, 232}, Rgb{236, 242, 250}, frame)) &&
         ok;
    ok =
        Write24(dir + "/combo_arrow.bmp", ComboArrow(Rgb{245, 248, 255}, Rgb{208, 220, 240})) && ok;
    ok = Write24(dir + "/combo_arrow_hover.bmp",
                 ComboArrow(Rgb{255, 250, 235}, Rgb{246, 226, 170})) &&
         ok;
    ok = Write24(dir + "/combo_field.bmp",
                 Face(40, 20, Rgb{255, 255, 255}, Rgb{255, 255, 255}, frame)) &&
         ok;
    return ok;
}

// A 200 x 120 picture of a few colours whose transparent pixels reach the last row and column,
// with a near-green that must stay; written as 24-bit and as 8-bit.
bool WriteTest(const std::string& dir) {
    Picture p = Background(200, 120, 20, Rgb{60, 90, 150}, Rgb{60, 90, 150}, Rgb{200, 210, 230},
                           Rgb{30, 40, 60});
    for (int x = 120; x < 200; ++x) p.at(x, 119) = kTransparent;  // last row, in part
    for (int y = 40; y < 80; ++y) p.at(199, y) = kTransparent;    // last column, in part
    for (int y = 50; y < 53; ++y)
        for (int x = 60; x < 65; ++x) p.at(x, y) = kTransparent;  // a hole
    p.at(100, 60) = kTransparent;                                 // a single pixel
    p.at(101, 60) = Rgb{0, 254, 0};                               // close to green, kept
    p.at(0, 60) = kTransparent;                                   // first column
    bool ok = Write24(dir + "/test_background24.bmp", p);
    ok = Write8(dir + "/test_background8.bmp", p) && ok;
    // Every pixel of one colour but the transparent one: a plain rectangle.
    ok = Write24(dir + "/test_plain.bmp", Picture(64, 32, Rgb{10, 20, 30})) && ok;
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: skinpictures OUTDIR default|test\n");
        return 2;
    }
    const std::string dir = argv[1], set = argv[2];
    bool ok = set == "default" ? WriteDefault(dir) : set == "test" ? WriteTest(dir) : false;
    if (!ok)
        std::fprintf(stderr, "skinpictures: cannot write the %s pictures to %s\n", argv[2],
                     argv[1]);
    return ok ? 0 : 1;
}

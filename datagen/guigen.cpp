// Generator of the interface pictures in data/: the icon atlas
// (guiicons.cpp), the soft backdrops, the slider knobs, the brush disc, the
// radial pop-up, and the font image (fontgen.cpp, when built with FreeType).
// Usage: tessaform-guigen DIR [MOCKUP.png]; the mock-up shows the pictures
// put together as the program draws them, for judging them by eye. Pure
// arithmetic: the same build writes the same files.
#include "guiart.h"
#include "shapes.h"

static const Col WHITE = {1, 1, 1}, BLACK = {0, 0, 0};

static Image Finish(const Canvas& c, Col bleed) {
    Image img = MakeImage(c.width, c.height);
    Place(img, c, 0, 0, bleed);
    return img;
}

// Stretched behind the button panel (140 x 285) and the top bar (600 x 60):
// a dark plate whose edge fades over a good part of each side, so either
// stretch keeps it soft.
Image MakePanelShadow() {
    Canvas c = MakeCanvas(128, 128);
    Paint(c, RoundBox({64, 64}, {40, 40}, 16), BLACK, 1, 44);
    return Finish(c, BLACK);
}

// Drawn 106 x 102 around a 90-wide face and a little below it: the face's
// own shape, blurred.
Image MakeButtonShadow() {
    Canvas c = MakeCanvas(64, 64);
    Paint(c, RoundBox({32, 32}, {22, 22}, 9), BLACK, 0.85f, 9);
    return Finish(c, BLACK);
}

// A 32-pixel quad centred on its slider track: a light knob with a soft
// shadow and a dark rim, crisp at its drawn size.
static Canvas Knob(Col centre) {
    Canvas c = MakeCanvas(32, 32);
    const P2 mid = {16, 16};
    Paint(c, Circle({16, 17.5f}, 8), BLACK, 0.55f, 4);
    Paint(c, Circle(mid, 7.5f), [](P2 p) {
        return Mix(WHITE, {0.76f, 0.76f, 0.77f}, (p.y - 8.5f) / 15);
    });
    Paint(c, Outline(Circle(mid, 7.5f), 1.3f), {0.2f, 0.2f, 0.2f}, 0.9f);
    Paint(c, Circle(mid, 2.5f), centre);
    return c;
}

Image MakeSliderKnob() { return Finish(Knob({0.55f, 0.55f, 0.56f}), WHITE); }

// The pop-up's knobs carry the hover colour of the buttons in their centre.
Image MakePopupKnob() { return Finish(Knob({0.92f, 0.62f, 0.42f}), WHITE); }

// The brush preview, drawn as a square of the brush's relative size with
// alpha from the strength: the falloff of the brush, rimmed so the size
// reads even at low strength.
Image MakeBrushDisc() {
    Canvas c = MakeCanvas(64, 64);
    const P2 mid = {32, 32};
    Paint(c, Circle(mid, 30), [&](P2 p) {
        float r = Len(p - mid) / 30;
        float falloff = 1 - SmoothStep(0.0f, 1.0f, r);
        return Col{1, 1, 1} * (0.25f + 0.75f * falloff);
    });
    Paint(c, Outline(Circle(mid, 29.5f), 2), WHITE);
    return Finish(c, WHITE);
}

// The radial pop-up, 256 pixels around the pointer: a dark disc, a faint
// band where a press picks a slider (35 to 90 pixels out), and the three
// tracks the knobs run on. The knob paths are arcs of radius 70 about
// centres a few pixels off the pointer; each track marks its high end "+"
// and its low end "-". The lower quarter picks nothing and stays empty.
Image MakePopupDisc() {
    Canvas c = MakeCanvas(256, 256);
    const P2 mid = {128, 128};
    Paint(c, Circle(mid, 118), BLACK, 0.75f, 10);
    Paint(c, Minus(Circle(mid, 90), Circle(mid, 35)), WHITE, 0.05f);
    Paint(c, Outline(Circle(mid, 35), 1), WHITE, 0.18f);
    Paint(c, Circle(mid, 2.5f), WHITE, 0.7f);
    struct Track {
        P2 centre;
        float degrees;  // direction of the track's middle from its centre
        bool highEndFirst;
    };
    // Size on the left and detail on the right grow upwards; strength on top grows to the right.
    const Track tracks[3] = {
        {{136, 128}, 180, false}, {{130, 134}, 270, false}, {{128, 128}, 0, true}};
    for (const Track& t : tracks) {
        const float span = 31;  // asin(36 / 70): the knob's travel
        Paint(c, Line(ArcPoints(t.centre, 70, t.degrees - span, t.degrees + span), 3), WHITE,
              0.55f);
        for (int end = 0; end < 2; end++) {
            float a = t.degrees + (end ? span : -span);
            P2 mark = Polar(t.centre, 84, a);
            Paint(c, Line({Polar(t.centre, 64, a), Polar(t.centre, 76, a)}, 2), WHITE, 0.55f);
            bool plus = (end == 0) == t.highEndFirst;
            Paint(c, Line({mark + P2{-4, 0}, mark + P2{4, 0}}, 2), WHITE, 0.7f);
            if (plus) Paint(c, Line({mark + P2{0, -4}, mark + P2{0, 4}}, 2), WHITE, 0.7f);
        }
    }
    return Finish(c, BLACK);
}

int main(int argc, char** argv) {
    if (argc != 2 && argc != 3) {
        fprintf(stderr, "usage: %s OUTPUT_DIR [MOCKUP.png]\n", argv[0]);
        return 2;
    }
    std::string dir = std::string(argv[1]) + "/";
    bool ok = true;
#ifdef TESSA_FONTGEN
    ok &= WriteFontTga("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", dir + "font1024.tga");
#else
    printf("built without FreeType: font1024.tga left as it is\n");
#endif
    GuiPictures p = {MakeIconAtlas(), MakePanelShadow(), MakeButtonShadow(), MakeSliderKnob(),
                     MakeBrushDisc(), MakePopupDisc(),   MakePopupKnob()};
    ok &= WritePng(dir + "gui_buttons2.png", p.atlas);
    ok &= WritePng(dir + "gui_shadow.png", p.panelShadow);
    ok &= WritePng(dir + "gui_buttonshadow.png", p.buttonShadow);
    ok &= WritePng(dir + "gui_slider.png", p.slider);
    ok &= WritePng(dir + "gui_brushicon.png", p.brushDisc);
    ok &= WritePng(dir + "gui_hoverdisc.png", p.popupDisc);
    ok &= WritePng(dir + "gui_discslider.png", p.popupKnob);
    if (argc == 3) ok &= WriteMockup(p, dir + "font1024.tga", argv[2]);
    if (!ok) fprintf(stderr, "writing into %s failed\n", dir.c_str());
    return ok ? 0 : 1;
}

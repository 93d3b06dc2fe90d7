// Tablet input through XInput2: a pen device is a slave pointer with an
// "Abs Pressure" axis. Its motion events (sent for every change of any axis,
// so pressing down without moving counts too) carry the pressure and the
// buttons held; the rules of tools/pen.h turn them into tabletPressure and
// penInProximity. A motion from any other slave pointer means the mouse is in
// use again. Without X11, XInput2 or a pen, nothing here ever reports and
// the pressure reads as the mouse's: full.
//
// The events are read on a connection of our own: selecting them through
// SDL's connection would change what SDL itself is sent for its window.
// Only motion is selected, never buttons, so no grab is ever taken on a
// device and SDL keeps receiving every click.
#include "platform/tablet.h"
#include <SDL2/SDL.h>
#include <SDL2/SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include "base/log.h"
#include "platform/window.h"
#include "tools/pen.h"

enum { MAX_POINTERS = 32, QUEUE_WARNING = 64 };

struct PointerDevice {
    int id;                   // XInput device id (a slave pointer)
    int pressureAxis;         // valuator number of the pressure axis, -1 = not a pen
    double minimum, maximum;  // pressure axis range
    double lastPressure;      // raw value of the last event that carried it
};

static Display* penDisplay;  // our own connection; null = no tablet reader
static Window penWindow;     // the main window's X11 id
static int xiOpcode;         // major opcode of the extension (tags its events)
static PointerDevice pointers[MAX_POINTERS];
static i32 pointerCount;
static i32 penCount;  // pointers with a pressure axis

static void ReadPressureAxis(const XIDeviceInfo& info, Atom pressureLabel, PointerDevice& d) {
    for (int c = 0; c < info.num_classes; c++) {
        if (info.classes[c]->type != XIValuatorClass) continue;
        const XIValuatorClassInfo* v = (const XIValuatorClassInfo*)info.classes[c];
        if (pressureLabel == None || v->label != pressureLabel) continue;
        d.pressureAxis = v->number;
        d.minimum = v->min;
        d.maximum = v->max;
    }
}

static void FindPointers() {
    pointerCount = penCount = 0;
    Atom pressureLabel = XInternAtom(penDisplay, "Abs Pressure", True);
    int count = 0;
    XIDeviceInfo* infos = XIQueryDevice(penDisplay, XIAllDevices, &count);
    for (int i = 0; i < count && pointerCount < MAX_POINTERS; i++) {
        const XIDeviceInfo& info = infos[i];
        if (info.use != XISlavePointer && info.use != XIFloatingSlave) continue;
        PointerDevice& d = pointers[pointerCount++];
        d = PointerDevice{info.deviceid, -1, 0, 0, 0};
        ReadPressureAxis(info, pressureLabel, d);
        if (d.pressureAxis >= 0) penCount++;
    }
    if (infos) XIFreeDeviceInfo(infos);
}

static void SelectMotion(Window window, int device, int eventType) {
    unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
    XISetMask(bits, eventType);
    XIEventMask mask = {device, (int)sizeof bits, bits};
    XISelectEvents(penDisplay, window, &mask, 1);
}

static void SelectPointerEvents() {
    for (i32 i = 0; i < pointerCount; i++) SelectMotion(penWindow, pointers[i].id, XI_Motion);
    // A tablet plugged in later shows up as a hierarchy change.
    SelectMotion(DefaultRootWindow(penDisplay), XIAllDevices, XI_HierarchyChanged);
    XFlush(penDisplay);
}

static bool OpenConnection() {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!mainWindow || !SDL_GetWindowWMInfo(mainWindow, &info) || info.subsystem != SDL_SYSWM_X11) {
        LogPrint("tablet: no X11 window, pen pressure off");
        return false;
    }
    penWindow = info.info.x11.window;
    penDisplay = XOpenDisplay(XDisplayString(info.info.x11.display));
    if (!penDisplay) {
        LogPrint("tablet: couldn't open a display connection");
        return false;
    }
    int event, error, major = 2, minor = 0;
    if (!XQueryExtension(penDisplay, "XInputExtension", &xiOpcode, &event, &error) ||
        XIQueryVersion(penDisplay, &major, &minor) != Success) {
        LogPrint("tablet: XInput2 not available");
        XCloseDisplay(penDisplay);
        penDisplay = nullptr;
        return false;
    }
    return true;
}

bool StartTablet() {
    if (penDisplay) return penCount > 0;
    if (!OpenConnection()) return false;
    FindPointers();
    SelectPointerEvents();
    if (penCount == 0) {
        LogPrint("tablet: no pen found");
        return false;
    }
    LogPrint("tablet initialized (%i pen device%s)", penCount, penCount == 1 ? "" : "s");
    return true;
}

void StopTablet() {
    if (!penDisplay) return;
    XCloseDisplay(penDisplay);
    penDisplay = nullptr;
    pointerCount = penCount = 0;
}

void TabletHandleEvent(const SDL_Event& event) {
    switch (event.type) {
    case SDL_MOUSEBUTTONDOWN:
        if (event.button.button == SDL_BUTTON_LEFT || event.button.button == SDL_BUTTON_RIGHT)
            PenMouseDown();
        break;
    case SDL_MOUSEBUTTONUP:
        if (event.button.button == SDL_BUTTON_LEFT || event.button.button == SDL_BUTTON_RIGHT)
            PenMouseUp();
        break;
    case SDL_WINDOWEVENT:
        if (event.window.event == SDL_WINDOWEVENT_FOCUS_GAINED ||
            event.window.event == SDL_WINDOWEVENT_FOCUS_LOST)
            PenMouseUp();
        break;
    default: break;
    }
}

// The event's values hold only the axes its mask names, in axis order.
static bool AxisValue(const XIValuatorState& v, int axis, double* out) {
    if (axis >= v.mask_len * 8 || !XIMaskIsSet(v.mask, axis)) return false;
    int index = 0;
    for (int i = 0; i < axis; i++)
        if (XIMaskIsSet(v.mask, i)) index++;
    *out = v.values[index];
    return true;
}

static u32 HeldButtons(const XIButtonState& b) {
    u32 held = 0;
    for (int i = 0; i < b.mask_len * 8 && i < 32; i++)
        if (XIMaskIsSet(b.mask, i)) held |= 1u << i;
    return held;
}

// True when the event came from a pen.
static bool HandleMotion(const XIDeviceEvent& e) {
    for (i32 i = 0; i < pointerCount; i++) {
        PointerDevice& d = pointers[i];
        if (d.id != e.sourceid) continue;
        if (d.pressureAxis < 0) {
            PenProximity(0);  // the mouse moved: the pen is away
            return false;
        }
        PenProximity(1);
        AxisValue(e.valuators, d.pressureAxis, &d.lastPressure);
        PenPacket(HeldButtons(e.buttons), ScalePenPressure(d.lastPressure, d.minimum, d.maximum));
        return true;
    }
    return false;
}

void PollTablet() {
    if (!penDisplay) return;
    i32 packets = 0;
    bool devicesChanged = false;
    while (XPending(penDisplay)) {
        XEvent event;
        XNextEvent(penDisplay, &event);
        XGenericEventCookie* cookie = &event.xcookie;
        if (cookie->type != GenericEvent || cookie->extension != xiOpcode) continue;
        if (!XGetEventData(penDisplay, cookie)) continue;
        if (cookie->evtype == XI_Motion && HandleMotion(*(const XIDeviceEvent*)cookie->data))
            packets++;
        if (cookie->evtype == XI_HierarchyChanged) devicesChanged = true;
        XFreeEventData(penDisplay, cookie);
    }
    // Every event was used; a burst this long means frames are falling behind.
    if (packets >= QUEUE_WARNING) LogPrint("Packet queue overflow (%i packets)", packets);
    if (devicesChanged) {
        FindPointers();
        SelectPointerEvents();
    }
}

// The host's window: the picture scaled to fit on the left, its palette as a
// 16 x 16 grid of swatches on the right, the last command and its status
// along the bottom. Closing it ends the host.
#include "host_state.h"

namespace {

const char kWindowClass[] = "KavrinStandInWindow";
constexpr int kMargin = 8;
constexpr int kStatusHeight = 22;
constexpr int kGridCells = 16;

struct Layout {
    RECT picture;  // where the scaled picture goes
    RECT grid;     // the swatch grid, square
    RECT status;
};

Layout layoutFor(const RECT& client) {
    Layout layout;
    const int height = client.bottom - kStatusHeight - 2 * kMargin;
    int gridSide = height < 0 ? 0 : height;
    gridSide -= gridSide % kGridCells;
    const int gridLeft = client.right - kMargin - gridSide;
    layout.grid = {gridLeft, kMargin, gridLeft + gridSide, kMargin + gridSide};
    layout.picture = {kMargin, kMargin, gridLeft - kMargin, kMargin + height};
    layout.status = {kMargin, client.bottom - kStatusHeight, client.right - kMargin, client.bottom};
    return layout;
}

// The picture's bitmap header followed by its colour table, as
// StretchDIBits wants them.
struct PictureInfo {
    BITMAPINFOHEADER header;
    RGBQUAD colours[kMaxPaletteEntries];
};

void paintPicture(HDC dc, const RECT& area) {
    const Picture& picture = host.picture;
    const int areaWidth = area.right - area.left, areaHeight = area.bottom - area.top;
    if (areaWidth <= 0 || areaHeight <= 0 || picture.width <= 0) return;
    // Scaled to fit, keeping its proportions, centred.
    int width = areaWidth, height = int(double(areaWidth) * picture.height / picture.width);
    if (height > areaHeight) {
        height = areaHeight;
        width = int(double(areaHeight) * picture.width / picture.height);
    }
    const int left = area.left + (areaWidth - width) / 2, top = area.top + (areaHeight - height) / 2;

    PictureInfo info = {};
    info.header.biSize = sizeof(BITMAPINFOHEADER);
    info.header.biWidth = picture.width;
    info.header.biHeight = -picture.height;  // rows are held top-down
    info.header.biPlanes = 1;
    info.header.biBitCount = 8;
    info.header.biCompression = BI_RGB;
    info.header.biClrUsed = DWORD(paletteEntryCount(picture));
    memcpy(info.colours, picture.palette.data(), picture.palette.size());
    SetStretchBltMode(dc, COLORONCOLOR);
    StretchDIBits(dc, left, top, width, height, 0, 0, picture.width, picture.height,
                  picture.pixels.data(), reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS,
                  SRCCOPY);
}

void paintSwatches(HDC dc, const RECT& grid) {
    const int cell = (grid.right - grid.left) / kGridCells;
    if (cell <= 0) return;
    const int entries = paletteEntryCount(host.picture);
    for (int i = 0; i < kGridCells * kGridCells; ++i) {
        RECT swatch = {grid.left + (i % kGridCells) * cell, grid.top + (i / kGridCells) * cell, 0, 0};
        swatch.right = swatch.left + cell - 1;
        swatch.bottom = swatch.top + cell - 1;
        // Entries the palette does not have are left as an empty grey cell.
        COLORREF colour = RGB(128, 128, 128);
        if (i < entries) {
            const uint8_t* entry = &host.picture.palette[size_t(i) * 4];
            colour = RGB(entry[2], entry[1], entry[0]);
        }
        HBRUSH brush = CreateSolidBrush(colour);
        FillRect(dc, &swatch, brush);
        DeleteObject(brush);
    }
}

void paintStatus(HDC dc, const RECT& area) {
    std::string text = host.lastCommand.empty()
                           ? "Waiting for commands on DDE service KAVRIN, topic ImageServer"
                           : "Last command: " + host.lastCommand + "  -  status: " + host.status;
    RECT box = area;
    SetBkMode(dc, TRANSPARENT);
    SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    DrawTextA(dc, text.c_str(), int(text.size()), &box,
              DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
}

void onPaint(HWND window) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    RECT client;
    GetClientRect(window, &client);
    const Layout layout = layoutFor(client);
    paintPicture(dc, layout.picture);
    paintSwatches(dc, layout.grid);
    paintStatus(dc, layout.status);
    EndPaint(window, &paint);
}

void onMinMaxInfo(MINMAXINFO* limits) {
    limits->ptMinTrackSize.x = 360;
    limits->ptMinTrackSize.y = 220;
}

LRESULT CALLBACK hostWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: onPaint(window); return 0;
    case WM_SIZE: InvalidateRect(window, nullptr, TRUE); return 0;
    case WM_GETMINMAXINFO: onMinMaxInfo(reinterpret_cast<MINMAXINFO*>(lParam)); return 0;
    case WM_TIMER: releaseHeldCommand(wParam); return 0;
    case WM_APP_END_AFTER_COMMANDS: endAfterCommands(); return 0;
    case WM_DESTROY: PostQuitMessage(kExitNormal); return 0;
    default: return DefWindowProcA(window, message, wParam, lParam);
    }
}

}  // namespace

bool createHostWindow(int show) {
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = hostWindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hIcon = LoadIcon(nullptr, IDI_APPLICATION);
    windowClass.hbrBackground = HBRUSH(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kWindowClass;
    if (!RegisterClassExA(&windowClass)) return false;

    // Room for the picture at one and a half times its size and the grid.
    const int pictureHeight = host.picture.height * 3 / 2;
    const int pictureWidth = host.picture.width * 3 / 2;
    const int gridSide = pictureHeight - pictureHeight % kGridCells;
    RECT frame = {0, 0, pictureWidth + gridSide + 3 * kMargin,
                  pictureHeight + kStatusHeight + 2 * kMargin};
    if (pictureHeight < 256 || pictureWidth > 900) frame = {0, 0, 960, 480};
    const DWORD style = WS_OVERLAPPEDWINDOW;
    AdjustWindowRect(&frame, style, FALSE);
    const std::string title = "Kavrin (stand-in) - " + host.picture.name;
    host.window = CreateWindowExA(0, kWindowClass, title.c_str(), style, 24, 24,
                                  frame.right - frame.left, frame.bottom - frame.top, nullptr,
                                  nullptr, windowClass.hInstance, nullptr);
    if (!host.window) return false;
    ShowWindow(host.window, show);
    UpdateWindow(host.window);
    return true;
}

void showPaletteChanged() { InvalidateRect(host.window, nullptr, FALSE); }

void showStatusChanged() {
    RECT client;
    GetClientRect(host.window, &client);
    const Layout layout = layoutFor(client);
    InvalidateRect(host.window, &layout.status, TRUE);
}

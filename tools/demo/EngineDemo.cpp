// A small program that shows the engine's controls on a host window: caption elements, labels with
// their backgrounds and effects, an animated picture, nested controls, buttons, a progress bar and a
// multi-line edit field with scroll bars and the engine's right-click edit menu.
#include <windows.h>

#include "ButtonControl.h"
#include "Canvas.h"
#include "EditControl.h"
#include "Engine.h"
#include "HostWindow.h"
#include "LabelControl.h"
#include "PictureControl.h"
#include "PopupMenu.h"
#include "ProgressBar.h"
#include "Resources.h"
#include "SystemDll.h"
#include "Text.h"

extern "C" const std::uint8_t demo_spinner[];
extern "C" const std::uint32_t demo_spinner_size;

namespace {

HostWindow host;
LabelControl heading, gradientLabel, haloLabel, framedLabel, panel, panelTitle, panelNote;
PictureControl spinner;
ButtonControl startButton, disabledButton;
ProgressBar progress;
EditControl notes;
int progressValue = 0;

// Lines of GBK text, one too long for the field so that both bars have something to do.
const char* const noteLines[] = {
    "\xB7\xC9\xBE\xA8\xCD\xF8\xD3\xCE\xBC\xD3\xCB\xD9\xC6\xF7 - \xB6\xE0\xD0\xD0\xCE\xC4\xB1\xBE\xBF\xF2",  // 飞鲸网游加速器 - 多行文本框
    "\xD3\xD2\xBC\xFC\xB5\xA5\xBB\xF7\xB4\xF2\xBF\xAA\xB1\xE0\xBC\xAD\xB2\xCB\xB5\xA5\xA3\xAC\xCD\xCF\xB6\xAF\xD1\xA1\xD4\xF1\xCE\xC4\xD7\xD6",  // 右键单击打开编辑菜单，拖动选择文字
    "\xD5\xE2\xD2\xBB\xD0\xD0\xBA\xDC\xB3\xA4\xA3\xAC\xB3\xAC\xB3\xF6\xBF\xF2\xB5\xC4\xBF\xED\xB6\xC8\xA3\xAC\xCB\xF9\xD2\xD4\xCB\xAE\xC6\xBD\xB9\xF6\xB6\xAF\xCC\xF5\xD2\xB2\xD3\xD0\xD3\xC3 (a long line: the horizontal bar scrolls it)",  // 这一行很长，超出框的宽度，所以水平滚动条也有用
    "Tab stops: a  b   c    d",
    "\xB5\xDA\xCE\xE5\xD0\xD0",  // 第五行
    "\xB5\xDA\xC1\xF9\xD0\xD0",  // 第六行
    "\xB5\xDA\xC6\xDF\xD0\xD0",  // 第七行
    "\xB5\xDA\xB0\xCB\xD0\xD0",  // 第八行
};

const ARGB white = makeColor(RGB(255, 255, 255));

int onStartDown(ControlHandle, int, WPARAM, LPARAM)
{
    progressValue = progressValue >= 100 ? 0 : progressValue + 20;
    progress.value(progressValue);
    return 0;
}

void buildControls(HWND window)
{
    const ParentHandle top = parentWindow(window);
    const std::string yaHei = "\xCE\xA2\xC8\xED\xD1\xC5\xBA\xDA";  // 微软雅黑

    LabelOptions title;
    title.fontName = yaHei;
    title.fontSize = 20;
    title.textColor = white;
    title.verticalAlign = LabelControl::AlignCentre;
    heading.createLabel(top, 20, 34, 400, 44, "\xD2\xFD\xC7\xE6\xBF\xD8\xBC\xFE\xD1\xDD\xCA\xBE", title);  // 引擎控件演示

    LabelOptions gradient;
    gradient.fontName = yaHei;
    gradient.fontSize = 14;
    gradient.textColor = white;
    gradient.gradientMode = 1;
    gradient.gradientColor1 = makeColor(RGB(0, 136, 255));
    gradient.gradientColor2 = makeColor(RGB(0, 190, 170));
    gradient.alignment = 1;
    gradientLabel.createLabel(top, 20, 86, 220, 34, "\xBD\xA5\xB1\xE4\xB1\xB3\xBE\xB0", gradient);  // 渐变背景

    LabelOptions halo;
    halo.fontName = yaHei;
    halo.fontSize = 16;
    halo.textColor = makeColor(RGB(20, 30, 40));
    halo.textEffect = LabelControl::EffectHalo;
    halo.haloColor = 0xC0FFFFFF;
    halo.alignment = 1;
    haloLabel.createLabel(top, 20, 130, 220, 34, "\xB9\xE2\xD4\xCE\xCE\xC4\xD7\xD6", halo);  // 光晕文字

    LabelOptions framed;
    framed.fontName = "\xCB\xCE\xCC\xE5";  // 宋体
    framed.textColor = makeColor(RGB(210, 210, 210));
    framed.borderStyle = FrameSolid;
    framed.alignment = 1;
    framedLabel.createLabel(top, 20, 174, 220, 30, "\xB1\xDF\xBF\xF2\xB1\xEA\xC7\xA9 Frame", framed);  // 边框标签

    // A panel with children: moving it moves them, and they are clipped to it.
    LabelOptions panelLook;
    panelLook.gradientMode = 1;
    panelLook.gradientColor1 = makeColor(RGB(34, 44, 56));
    panelLook.gradientColor2 = makeColor(RGB(28, 35, 45));
    panelLook.borderStyle = makeColor(RGB(96, 96, 96), 160);
    panel.createLabel(top, 262, 86, 236, 118, "", panelLook);
    const ParentHandle inPanel = panel.handle();
    spinner.createPicture(inPanel, 274, 98, 64, 64, Bytes(demo_spinner, demo_spinner_size), true, 0, true, 0,
                          RECT{}, 0);
    LabelOptions small;
    small.fontName = yaHei;
    small.fontSize = 14;
    small.textColor = white;
    panelTitle.createLabel(inPanel, 348, 104, 140, 24, "GIF \xB6\xAF\xBB\xAD", small);  // 动画
    small.fontSize = 12;
    small.textColor = makeColor(RGB(180, 190, 200));
    small.wordWrap = true;
    panelNote.createLabel(inPanel, 348, 130, 146, 60,
                          "\xD7\xD3\xBF\xD8\xBC\xFE\xCB\xE6\xC3\xE6\xB0\xE5\xD2\xC6\xB6\xAF", small);  // 子控件随面板移动

    ButtonOptions face;
    face.fontName = yaHei;
    face.fontSize = 16;
    face.textColor = makeColor(RGB(255, 255, 255), 210);
    face.normalImage = picture("button");
    face.hoverImage = picture("button-hover");
    face.pressedImage = picture("button");
    face.disabledImage = picture("button-disabled");
    face.imageMode = 1;
    startButton.createButton(top, 20, 226, 160, 40, "\xC7\xB0\xBD\xF8 20%", face);  // 前进
    startButton.bindEvent(WM_LBUTTONDOWN, onStartDown);
    disabledButton.createButton(top, 196, 226, 160, 40, "\xBD\xFB\xD3\xC3", face);  // 禁用
    disabledButton.disabled(true);

    progress.createProgress(top, 20, 290, 478, 18, 40, 0, 100, false, makeColor(RGB(0, 136, 255)),
                            makeColor(RGB(255, 255, 255), 60), makeColor(RGB(96, 96, 96), 100),
                            makeColor(RGB(28, 35, 45)));
    progressValue = 40;

    std::string text;
    for (const char* line : noteLines)
        text += (text.empty() ? "" : "\r\n") + std::string(line);
    notes.create(top, 20, 324, 478, 120, text, std::nullopt, makeColor(RGB(255, 255, 255), 230), std::nullopt,
                 std::nullopt, std::nullopt, true);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    restrictDllSearchPath();
    startEngine();
    fillEditMenu(editMenu);
    HWND window = CreateWindowExW(0, toWide(engineWindowClass).c_str(), L"Engine demo",
                                  WS_OVERLAPPEDWINDOW, 60, 60, 520, 464, nullptr, nullptr, instance, nullptr);
    if (!window)
        return 1;
    HostAttachOptions options;
    options.backgroundColor = RGB(44, 56, 72);
    options.frameFlags = FRAME_STANDARD;
    host.attach(window, options);
    buildControls(window);
    host.show();
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
        if (!IsWindow(window))
            break;  // the engine's class has no WM_DESTROY handler of its own that would post WM_QUIT
    }
    return 0;
}

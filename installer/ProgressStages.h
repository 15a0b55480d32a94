#pragma once
// What the status line says at each extraction percentage, and what happens when a stage begins.

class ProgressStages {
public:
    enum class Stage { Deploying, Installing, Registering, CreatingIcons, Complete };

    // <= 5, 6-20, 21-70, 71-99, 100.
    static Stage stageOf(int percent);
    // The GBK status text of `stage`; null for Complete, which has none.
    static const char* statusText(Stage stage);
    // The percentage reported after entry `index` (from 0) of `count` has been written:
    // trunc(index / count * 100). After the last entry the unpacker reports 100 besides.
    static int percentAfterEntry(int index, int count);

    static constexpr const char* installingText = "\xD5\xFD\xD4\xDA\xB0\xB2\xD7\xB0\xD6\xD0......";  // 正在安装中......
    static constexpr const char* finishedText = "\xCD\xEA\xB3\xC9\xB0\xB2\xD7\xB0";  // 完成安装
};

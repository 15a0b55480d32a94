#include "ProgressStages.h"

ProgressStages::Stage ProgressStages::stageOf(int percent)
{
    if (percent <= 5)
        return Stage::Deploying;
    if (percent <= 20)
        return Stage::Installing;
    if (percent <= 70)
        return Stage::Registering;
    if (percent <= 99)
        return Stage::CreatingIcons;
    return Stage::Complete;
}

const char* ProgressStages::statusText(Stage stage)
{
    switch (stage) {
    case Stage::Deploying:
        return "\xD5\xFD\xD4\xDA\xB2\xBF\xCA\xF0...";  // 正在部署...
    case Stage::Installing:
        return "\xD5\xFD\xD4\xDA\xB0\xB2\xD7\xB0..";  // 正在安装..
    case Stage::Registering:
        return "\xB3\xE5\xD1\xBC\xA3\xA1.....";  // 冲鸭！.....
    case Stage::CreatingIcons:
        return "\xD5\xFD\xD4\xDA\xB4\xB4\xBD\xA8\xD7\xC0\xC3\xE6\xCD\xBC\xB1\xEA...";  // 正在创建桌面图标...
    case Stage::Complete:
        return nullptr;
    }
    return nullptr;
}

int ProgressStages::percentAfterEntry(int index, int count)
{
    // In 64 bits: index * 100 would overflow for archives of more than 21 million entries.
    return count > 0 ? static_cast<int>(static_cast<long long>(index) * 100 / count) : 100;
}

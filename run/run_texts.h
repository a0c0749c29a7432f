// The texts a proofreading run shows, shared by the desktop program and the command-line tool.
#pragma once

#include <cstdint>
#include <string>

namespace kjf {

// "校对完毕，共检测出" + count + "个问题！"
std::u16string checkFinishedText(std::size_t findingCount);

// "处理速度：" + speed + "万字/小时"; the speed is "0" within ±0.000001, otherwise printed like
// "%.15G" (the engine reports whole numbers, so this is an integer such as 900).
std::u16string speedText(double speed);

}  // namespace kjf

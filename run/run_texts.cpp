#include "run/run_texts.h"

#include <cmath>
#include <cstdio>

#include "text/utf.h"

namespace kjf {

std::u16string checkFinishedText(std::size_t findingCount) {
    return u"校对完毕，共检测出" + utf8ToUtf16(std::to_string(findingCount)) + u"个问题！";
}

std::u16string speedText(double speed) {
    std::string number = "0";
    if (std::fabs(speed) > 0.000001) {
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "%.15G", speed);
        number = buffer;
    }
    return u"处理速度：" + utf8ToUtf16(number) + u"万字/小时";
}

}  // namespace kjf

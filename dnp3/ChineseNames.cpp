#include "dnp3/ChineseNames.h"

#include <sstream>
#include <string_view>

#include "decode/Application.h"

namespace {

struct Name {
    const char* pszProtocol;
    const char* pszChinese;
};

constexpr Name kFunctions[] = {
    {"CONFIRM", "确认"},
    {"READ", "读"},
    {"WRITE", "写"},
    {"SELECT", "选择"},
    {"OPERATE", "执行"},
    {"DIRECT_OPERATE", "直接执行"},
    {"DIRECT_OPERATE_NR", "直接执行(不回答)"},
    {"IMMED_FREEZE", "立即冻结"},
    {"IMMED_FREEZE_NR", "立即冻结(不回答)"},
    {"FREEZE_CLEAR", "冻结并清零"},
    {"FREEZE_CLEAR_NR", "冻结并清零(不回答)"},
    {"COLD_RESTART", "冷启动"},
    {"WARM_RESTART", "热启动"},
    {"ENABLE_UNSOLICITED", "允许主动上送"},
    {"DISABLE_UNSOLICITED", "禁止主动上送"},
    {"DELAY_MEASURE", "延时测量"},
    {"RECORD_CURRENT_TIME", "记录当前时间"},
    {"RESPONSE", "响应"},
    {"UNSOLICITED_RESPONSE", "主动上送"},
    {"RESET_LINK_STATES", "复位"},
    {"TEST_LINK_STATES", "测试"},
    {"REQUEST_LINK_STATUS", "请求链路状态"},
    {"ACK", "确认"},
    {"NACK", "否认"},
    {"LINK_STATUS", "链路状态"},
    {"NOT_SUPPORTED", "不支持"},
    {"NOT_FUNCTIONING", "未工作"},
    {"CONFIRMED_USER_DATA", "用户数据"},
    {"UNCONFIRMED_USER_DATA", "用户数据"},
};

// IIN1 bits 0..7, then IIN2 bits 0..7, as the decoder numbers them.
constexpr const char* kIin[16] = {
    "广播", "有类1事件", "有类2事件", "有类3事件", "需要对时", "就地控制", "设备故障", "设备重启",
    "功能码不支持", "对象未知", "参数错误", "事件缓冲溢出", "操作已在执行", "配置损坏", "保留2", "保留1",
};

}  // namespace

const char* ChineseName(const char* pszProtocol)
{
    for (const Name& name : kFunctions)
        if (std::string_view(name.pszProtocol) == pszProtocol)
            return name.pszChinese;
    return pszProtocol;
}

std::string ChineseIinText(std::uint16_t wIin)
{
    std::string text;
    for (int nBit = 0; nBit < 16; ++nBit)
        if (qdec::IinBitSet(wIin, nBit))
            text += std::string(text.empty() ? "" : " ") + kIin[nBit];
    return text;
}

std::string ChineseObjects(const std::string& summary)
{
    std::istringstream words(summary);
    std::string word;
    std::string text;
    while (words >> word) {
        if (word.size() == 4 && word.compare(0, 3, "60.") == 0 && word[3] >= '1' && word[3] <= '4')
            word = std::string("类") + static_cast<char>(word[3] - 1);
        text += (text.empty() ? "" : " ") + word;
    }
    return text;
}

std::string ChineseRequestText(std::span<const std::uint8_t> fragment)
{
    if (fragment.size() < 2)
        return "?";
    // A request carries no time the text would show, so the convention does not matter.
    const qdec::AppInfo app = qdec::DecodeApplication(fragment, qdec::TimeConvention::MonthRelative);
    std::string text = ChineseName(qdec::AppFunctionName(fragment[1]));
    // A request's counts ("12.1×1") say nothing to the operator.
    std::string summary = app.ObjectSummary;
    for (std::size_t at; (at = summary.find("×")) != std::string::npos;) {
        const std::size_t end = summary.find(' ', at);
        summary.erase(at, end == std::string::npos ? std::string::npos : end - at);
    }
    const std::string objects = ChineseObjects(summary);
    return objects.empty() ? text : text + " " + objects;
}

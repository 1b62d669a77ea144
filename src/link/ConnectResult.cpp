#include "link/ConnectResult.h"

#include <cerrno>
#include <system_error>

namespace orvex {
namespace {

struct ChineseReason {
    int error;
    const char* text;
};

// The errors a connect attempt meets in practice; anything rarer falls back to the platform's text.
constexpr ChineseReason kChineseReasons[] = {
    {ECONNREFUSED, "连接被拒绝"}, {ETIMEDOUT, "连接超时"},      {EHOSTUNREACH, "无法访问主机"},
    {ENETUNREACH, "网络不可达"},  {EPERM, "操作不允许"},        {EACCES, "权限不够"},
    {ECONNRESET, "连接被重置"},   {ECONNABORTED, "连接被中止"}, {EADDRNOTAVAIL, "无法分配请求的地址"},
    {EADDRINUSE, "地址已在使用"}, {ENETDOWN, "网络已关闭"},     {EHOSTDOWN, "主机已关闭"},
    {EINVAL, "无效的参数"},       {EMFILE, "打开的文件过多"},   {ENOBUFS, "没有可用的缓冲区空间"},
};

} // namespace

std::string ConnectErrorReason(int error, bool chinese) {
    if (error == 0)
        return chinese ? "无法创建套接字" : "No socket available";
    if (chinese) {
        for (const ChineseReason& r : kChineseReasons) {
            if (r.error == error)
                return r.text;
        }
    }
    // The generic category's message is the platform's strerror text, without its thread hazard.
    return std::generic_category().message(error);
}

} // namespace orvex

#include "app/commandline.h"

namespace quorvel {

namespace {

QString helpText()
{
    return QStringLiteral(
        "用法：quorvel [选项]\n"
        "课堂点名：随机或依次点名，并记录教师对学生的评价。\n"
        "\n"
        "选项：\n"
        "  -h, --help     显示本说明后退出\n"
        "  -v, --version  显示版本号后退出\n"
        "\n"
        "数据库文件 xsdata.d 放在程序所在的文件夹里。程序安装在系统目录中、\n"
        "那里又没有这个文件时，改用 $XDG_DATA_HOME/quorvel/xsdata.d\n"
        "（通常是 ~/.local/share/quorvel/xsdata.d）；文件不存在时，启动时会\n"
        "询问是否新建一个空的数据库。\n");
}

} // namespace

CommandLine readCommandLine(const QStringList &arguments, const QString &version)
{
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &a = arguments.at(i);
        if (a == QLatin1String("-h") || a == QLatin1String("--help"))
            return {CommandLine::Action::Help, helpText()};
        if (a == QLatin1String("-v") || a == QLatin1String("--version"))
            return {CommandLine::Action::Version,
                    QStringLiteral("课堂点名 Quorvel %1\n").arg(version)};
    }
    return {};
}

QString unknownArgumentText(const QString &argument)
{
    return QStringLiteral("无法识别的参数：%1\n用 quorvel --help 查看用法。\n").arg(argument);
}

} // namespace quorvel

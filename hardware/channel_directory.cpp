#include "hardware/channel_directory.h"

#include <QStringList>
#include <algorithm>

#include "canlib/morvellchannels.h"

namespace {

constexpr int32_t kCodeSuccess = 0;
constexpr int32_t kBitsPerKilobit = 1000;

class LibraryChannelDirectory final : public ChannelDirectory {
public:
    ChannelOrigin resolve(const hwconfig::HardwareRequest& request) override {
        ChannelResolution resolution{};
        LibraryResult result{};
        Channel_Resolve(request.hardwareCode, request.recordAddress(), &resolution, &result);
        ChannelOrigin origin;
        origin.channel = QString::fromUtf8(resolution.channel);
        origin.origin = QString::fromUtf8(resolution.origin);
        switch (resolution.source) {
            case CHANNEL_FROM_ENVIRONMENT:
                origin.source = ChannelOrigin::Source::Environment;
                break;
            case CHANNEL_FROM_FILE:
                origin.source = ChannelOrigin::Source::File;
                break;
            default:
                origin.source = ChannelOrigin::Source::Default;
                break;
        }
        if (result.code != kCodeSuccess) origin.problem = QString::fromUtf8(result.text);
        return origin;
    }

    std::vector<CanInterfaceEntry> interfaces() override {
        int32_t count = 0;
        LibraryResult result{};
        Channel_ListInterfaces(nullptr, 0, &count, &result);
        if (result.code != kCodeSuccess || count <= 0) return {};
        std::vector<CanInterfaceInfo> found(static_cast<std::size_t>(count));
        Channel_ListInterfaces(found.data(), count, &count, &result);
        if (result.code != kCodeSuccess) return {};
        found.resize(std::min(found.size(), static_cast<std::size_t>(count)));
        std::vector<CanInterfaceEntry> entries;
        for (const CanInterfaceInfo& info : found) {
            entries.push_back(
                {QString::fromUtf8(info.name), QString::fromUtf8(info.state), info.bitrate});
        }
        return entries;
    }

    ChannelOutcome check(const QString& channel) override {
        LibraryResult result{};
        Channel_Check(channel.toUtf8().constData(), &result);
        return {result.code == kCodeSuccess, QString::fromUtf8(result.text)};
    }

    ChannelOutcome save(int32_t hardwareCode, const QString& channel) override {
        LibraryResult result{};
        Channel_Save(hardwareCode, channel.toUtf8().constData(), &result);
        return {result.code == kCodeSuccess, QString::fromUtf8(result.text)};
    }
};

}  // namespace

std::unique_ptr<ChannelDirectory> MakeLibraryChannelDirectory() {
    return std::make_unique<LibraryChannelDirectory>();
}

QString SocketCanChannel(const QString& interfaceName) {
    return QStringLiteral("socketcan:") + interfaceName;
}

QString InterfaceItemText(const CanInterfaceEntry& entry) {
    QStringList details;
    if (!entry.state.isEmpty()) details << entry.state;
    if (entry.bitrate != 0) {
        details << QStringLiteral("%1 kbit/s").arg(entry.bitrate / kBitsPerKilobit);
    }
    QString text = SocketCanChannel(entry.name);
    if (!details.isEmpty())
        text += QStringLiteral(" (") + details.join(QStringLiteral(", ")) + u')';
    return text;
}

QString OriginText(const ChannelOrigin& origin) {
    QString text;
    switch (origin.source) {
        case ChannelOrigin::Source::Environment:
            text = QStringLiteral(
                       "Set by %1 in the environment; unset it to choose the channel "
                       "here.")
                       .arg(origin.origin);
            break;
        case ChannelOrigin::Source::File:
            text = QStringLiteral("Saved in %1.").arg(origin.origin);
            break;
        case ChannelOrigin::Source::Default:
            text = QStringLiteral("The default for this adapter.");
            break;
    }
    if (!origin.problem.isEmpty()) text += QStringLiteral(" Not usable: ") + origin.problem;
    return text;
}

QString BusNameOfChannel(const QString& channel) {
    const qsizetype colon = channel.indexOf(u':');
    if (colon < 0) return {};
    const QString kind = channel.left(colon);
    QString rest = channel.mid(colon + 1);
    if (kind == QLatin1String("socketcan")) return rest;
    if (kind == QLatin1String("socketcand")) return rest.mid(rest.lastIndexOf(u'/') + 1);
    if (kind == QLatin1String("virtual")) return rest.left(rest.indexOf(u'@'));
    return {};
}

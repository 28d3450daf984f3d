#include "trace/trace_settings.h"

#include "gui/settings_store.h"

namespace {

QString columnKey(int column) {
    return QStringLiteral("col%1width").arg(column);
}

void loadInt(QSettings& settings, const QString& key, int& value) {
    if (const auto stored = ReadInt(settings, key)) {
        value = *stored;
    } else {
        WriteInt(settings, key, value);
    }
}

}  // namespace

TraceSettings LoadTraceSettings(QSettings* settings, const TraceSettings& defaults) {
    TraceSettings values = defaults;
    if (settings == nullptr) return values;
    for (int i = 0; i < TraceSettings::kColumns; ++i) {
        loadInt(*settings, columnKey(i), values.columnWidths[static_cast<std::size_t>(i)]);
    }
    loadInt(*settings, QStringLiteral("tracewidth"), values.tracewidth);
    loadInt(*settings, QStringLiteral("traceheight"), values.traceheight);
    return values;
}

void SaveTraceSettings(QSettings* settings, const TraceSettings& values) {
    if (settings == nullptr) return;
    for (int i = 0; i < TraceSettings::kColumns; ++i) {
        WriteInt(*settings, columnKey(i), values.columnWidths[static_cast<std::size_t>(i)]);
    }
    WriteInt(*settings, QStringLiteral("tracewidth"), values.tracewidth);
    WriteInt(*settings, QStringLiteral("traceheight"), values.traceheight);
    settings->sync();
}

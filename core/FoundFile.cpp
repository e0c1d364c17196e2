#include "FoundFile.h"

#include "platform/Collation.h"

#include <QHashFunctions>
#include <algorithm>

namespace moss {

namespace {

const std::array<QString, 13>& categoryTitles() {
    static const std::array<QString, 13> titles = {
        QStringLiteral("Приложение"),
        QStringLiteral("Данные приложения"),
        QStringLiteral("Контейнеры"),
        QStringLiteral("Настройки"),
        QStringLiteral("Кэш"),
        QStringLiteral("Логи и отчёты о сбоях"),
        QStringLiteral("Сохранённое состояние окон"),
        QStringLiteral("Автозапуск и фоновые службы"),
        QStringLiteral("Веб-данные и cookies"),
        QStringLiteral("Плагины и расширения"),
        QStringLiteral("Записи установщика"),
        QStringLiteral("Установщики в Загрузках"),
        QStringLiteral("Прочее"),
    };
    return titles;
}

size_t position(FileCategory category) {
    return static_cast<size_t>(category);
}

} // namespace

QString rawValue(FileCategory category) {
    return categoryTitles().at(position(category));
}

std::optional<FileCategory> fileCategoryFromRawValue(const QString& title) {
    for (FileCategory category : allFileCategories()) {
        if (categoryTitles().at(position(category)) == title)
            return category;
    }
    return std::nullopt;
}

const std::array<FileCategory, 13>& allFileCategories() {
    static const std::array<FileCategory, 13> all = {
        FileCategory::bundle,      FileCategory::support,  FileCategory::containers,
        FileCategory::preferences, FileCategory::caches,   FileCategory::logs,
        FileCategory::savedState,  FileCategory::launch,   FileCategory::web,
        FileCategory::plugins,     FileCategory::receipts, FileCategory::installers,
        FileCategory::other,
    };
    return all;
}

size_t qHash(FileCategory category, size_t seed) {
    return qHash(categoryTitles().at(position(category)), seed);
}

size_t qHash(const FoundFile& file, size_t seed) {
    return qHashMulti(seed, file.url, file.category, file.size, file.needsAdmin,
                      file.selectedByDefault);
}

bool resultOrderLess(const FoundFile& a, const FoundFile& b) {
    if (a.category != b.category)
        return position(a.category) < position(b.category);
    return localizedStandardCompare(a.url, b.url) < 0;
}

void sortByResultOrder(QList<FoundFile>& files) {
    std::stable_sort(files.begin(), files.end(), resultOrderLess);
}

} // namespace moss

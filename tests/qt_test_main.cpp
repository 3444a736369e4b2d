#include "tests/qt_test_main.h"

#include <QMetaMethod>
#include <QTest>

#include <cstdio>

int runTestCases(QObject& test, int argc, char** argv)
{
    const QStringList leftOut = qEnvironmentVariable("TEST_CASES_LEFT_OUT").split(QChar(','), Qt::SkipEmptyParts);
    if (argc > 1 || leftOut.isEmpty())
        return QTest::qExec(&test, argc, argv);
    static const QStringList framework = {"initTestCase", "initTestCase_data", "cleanupTestCase", "init", "cleanup"};
    QStringList cases;
    const QMetaObject* meta = test.metaObject();
    for (int i = meta->methodOffset(); i < meta->methodCount(); ++i) {
        const QMetaMethod method = meta->method(i);
        const QString name = QString::fromLatin1(method.name());
        if (method.methodType() == QMetaMethod::Slot && method.access() == QMetaMethod::Private
            && method.parameterCount() == 0 && !name.endsWith(QLatin1String("_data")) && !framework.contains(name))
            cases << name;
    }
    // A name that is no case would leave nothing out while its own entry fails.
    for (const QString& name : leftOut) {
        if (!cases.removeAll(name)) {
            std::fprintf(stderr, "TEST_CASES_LEFT_OUT names no case of this test: %s\n", qPrintable(name));
            return 1;
        }
    }
    return QTest::qExec(&test, QStringList{QString::fromLocal8Bit(argv[0])} + cases);
}

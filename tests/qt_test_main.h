#pragma once

#include <QObject>

// Runs the cases of a test object as QTest::qExec does. Called without
// arguments, it leaves out the cases named, separated by commas, in the
// environment variable TEST_CASES_LEFT_OUT: each of those may skip, so the
// build runs it as a test entry of its own, where a skip shows as a skip
// instead of passing unseen among the other cases.
int runTestCases(QObject& test, int argc, char** argv);

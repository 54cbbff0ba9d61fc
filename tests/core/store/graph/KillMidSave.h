#pragma once

#include <QtCore/QByteArray>
#include <QtCore/QCoreApplication>
#include <QtCore/QFileInfo>
#include <QtCore/QProcess>
#include <QtCore/QProcessEnvironment>

#include <gtest/gtest.h>

// Runs this test program again as a child that runs only `childTest`, with the
// environment variable `variable` set to `value`, and kills it once its large
// save is well under way (its pages reach the write-ahead log `walPath` long
// before the commit: `walBytes` of them). `*finishedFirst` tells whether the
// child reported its save done ("saved") before the kill. Call it inside
// ASSERT_NO_FATAL_FAILURE.
inline void killChildMidSave(const char* variable, const QString& value, const QString& childTest,
                             const QString& walPath, bool* finishedFirst, qint64 walBytes = 4 * 1024 * 1024)
{
  QProcess child;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QString::fromLatin1(variable), value);
  environment.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
  child.setProcessEnvironment(environment);
  child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--gtest_filter=") + childTest});
  ASSERT_TRUE(child.waitForStarted());
  QByteArray output;
  while (!output.contains("saving\n") && child.state() == QProcess::Running) {
    child.waitForReadyRead(1000);
    output += child.readAllStandardOutput();
  }
  ASSERT_TRUE(output.contains("saving\n")) << output.toStdString();
  while (child.state() == QProcess::Running && QFileInfo(walPath).size() < walBytes) child.waitForReadyRead(2);
  output += child.readAllStandardOutput();
  *finishedFirst = output.contains("saved\n");
  child.kill();
  child.waitForFinished();
}

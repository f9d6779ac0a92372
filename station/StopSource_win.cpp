#include "station/StopSource.h"

// Windows has no signals to turn into events: Ctrl+C ends a console program
// at once. The report stays whole all the same: each record is one write,
// flushed to the disk before its line is printed.
StopSource::StopSource(std::initializer_list<int>, QObject *parent) : QObject(parent) {}

StopSource::StopSource(QObject *parent) : QObject(parent) {}

StopSource::~StopSource() = default;

void StopSource::release() {}

void StopSource::onReadable() {}

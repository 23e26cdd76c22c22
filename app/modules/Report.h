// The installation report: the job's fields, date and time, the site, the
// stored table with where to point the dish for each entry, the chart as it
// is shown (its layers included) and every feature's lines, as one A4 PDF.
#pragma once

#include "app/Feature.h"

#include <QByteArray>

#include <functional>
#include <optional>

class QDateTime;

class ReportFeature : public Feature {
    Q_OBJECT
public:
    void Attach(FeatureHost& host) override;

    QAction* ActionReport = nullptr;  // Ctrl+F12
    struct Job {
        QString name, address, installer;
    };
    // Asks for the job's fields; none when cancelled. A real dialog unless
    // replaced (tests put a scripted answer here).
    std::function<std::optional<Job>()> AskJob;
    // The report as PDF bytes: the window as it is now, dated `when`. The
    // same window and time give the same bytes.
    QByteArray Pdf(const Job& job, const QDateTime& when);
    void Save();

private:
    struct Shot;
    Shot ShootChart() const;
    QByteArray Pdf(const Job& job, const QDateTime& when, const Shot& shot);
    FeatureHost* host_ = nullptr;
};

#pragma once

#include "Report.h"

#include <QSaveFile>
#include <QString>

namespace zandrel {

// One report file, written through a small buffer so that no file is ever held whole in memory.
// Nothing replaces the file of its name until commit() has written all of it.
class ReportFile
{
public:
    ReportFile(const QString &path, const ReportWriter::WriteBytes &write);

    ReportFile &operator<<(QStringView text);
    // An error says why the file was not written (it is then left as it was).
    Result<void> commit();

private:
    void writeBuffer();

    QString m_path;
    QSaveFile m_file;
    const ReportWriter::WriteBytes &m_write;
    QString m_buffer;
    bool m_ok = false;
};

} // namespace zandrel

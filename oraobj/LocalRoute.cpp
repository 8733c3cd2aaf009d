#include "LocalRoute.h"

#include <limits>
#include <utility>
#include <vector>

#include "FieldValues.h"
#include "LocalEngine.h"
#include "OracleErrors.h"

namespace oraobj {

namespace {

// Runs `work`, turning the engine's failures into OraError.
template <typename Work>
auto engineCall(Work&& work) -> decltype(work()) {
    try {
        return work();
    } catch (const localengine::EngineError& error) {
        // Oracle's number for an Oracle error, else the engine's own code.
        const int number = localengine::oracleErrorNumber(error.what());
        throw OraError(QString::fromUtf8(error.what()), number ? number : error.code());
    } catch (const OraError&) {
        throw;
    } catch (const std::exception& error) {
        throw OraError(QString::fromUtf8(error.what()));
    }
}

qint32 toRowCount(std::int64_t rows) {
    if (rows > std::numeric_limits<qint32>::max()) {
        return std::numeric_limits<qint32>::max();
    }
    return qint32(rows);
}

// A value of the engine as the component hands it out: numbers as numbers,
// text as text, null as a null QVariant.
QVariant toVariant(const localengine::Cell& cell) {
    using Type = localengine::Cell::Type;
    switch (cell.type) {
        case Type::Null:
            return QVariant();
        case Type::Integer: {
            bool ok = false;
            const qlonglong value = QByteArray::fromStdString(cell.text).toLongLong(&ok);
            return ok ? QVariant(value) : QVariant(QString::fromStdString(cell.text));
        }
        case Type::Real: {
            bool ok = false;
            const double value = QByteArray::fromStdString(cell.text).toDouble(&ok);
            return ok ? fieldValue(value) : QVariant(QString::fromStdString(cell.text));
        }
        case Type::Text:
            return QString::fromUtf8(cell.text.data(), qsizetype(cell.text.size()));
        case Type::Blob:
            return QByteArray::fromStdString(cell.text);
    }
    return QVariant();
}

// A result read in full by the engine, walked forward.
class LocalDynaset : public OraDynaset {
public:
    explicit LocalDynaset(localengine::ResultTable table) : m_table(std::move(table)) {}

    bool EOF_() const override { return m_row >= m_table.rows.size(); }

    OraField Fields(short index) const override {
        if (EOF_()) {
            throw OraError(QStringLiteral("No current row."));
        }
        const std::vector<localengine::Cell>& row = m_table.rows[m_row];
        if (index < 0 || std::size_t(index) >= row.size()) {
            throw OraError(QStringLiteral("Field index %1 out of range (%2 columns).")
                               .arg(index)
                               .arg(row.size()));
        }
        return OraField(toVariant(row[std::size_t(index)]));
    }

    void DbMoveNext() override {
        if (EOF_()) {
            throw OraError(QStringLiteral("No current row."));
        }
        ++m_row;
    }

    qint32 RecordCount() override { return toRowCount(std::int64_t(m_table.rows.size())); }

    short FieldsCount() const override { return short(m_table.columns.size()); }

private:
    localengine::ResultTable m_table;
    std::size_t m_row = 0;
};

class LocalDatabase : public OraDatabase {
public:
    explicit LocalDatabase(std::unique_ptr<localengine::Connection> connection)
        : m_connection(std::move(connection)) {}

    ~LocalDatabase() override {
        try {
            if (m_connection) {
                m_connection->close();
            }
        } catch (...) {
            // Closing an engine connection has nothing left to report.
        }
    }

    qint32 DbExecuteSQL(const QString& sql) override {
        return toRowCount(run([&] { return open().execute(sql.toStdString()); }));
    }

    void ExecuteSQL(QString sql) override {
        run([&] { return open().execute(sql.toStdString()); });
    }

    std::unique_ptr<OraDynaset> DbCreateDynaset(const QString& sql, qint32 options) override {
        // Every caller asks for read-only, no-cache (12): the engine's results
        // are read-only and read once, so the options select nothing.
        Q_UNUSED(options);
        return std::make_unique<LocalDynaset>(run([&] { return open().query(sql.toStdString()); }));
    }

    void Close() override {
        if (!m_connection) {
            throw closedError();
        }
        auto connection = std::move(m_connection);
        engineCall([&] {
            connection->close();
            return 0;
        });
    }

    qint32 LastServerErr() const override { return m_lastError; }
    QString LastServerErrText() const override { return m_lastErrorText; }
    void LastServerErrReset() override {
        m_lastError = 0;
        m_lastErrorText.clear();
    }

    QStringList TakeServerOutput() override {
        QStringList lines;
        if (m_connection) {
            for (const std::string& line : m_connection->takeServerOutput())
                lines.append(QString::fromStdString(line));
        }
        return lines;
    }

private:
    static OraError closedError() { return OraError(QStringLiteral("The database is closed.")); }

    localengine::Connection& open() {
        if (!m_connection) {
            throw closedError();
        }
        return *m_connection;
    }

    // Runs a statement and keeps the engine's code and text of a failure.
    template <typename Work>
    auto run(Work&& work) -> decltype(work()) {
        try {
            return engineCall(std::forward<Work>(work));
        } catch (const OraError& error) {
            if (error.code() != 0) {
                m_lastError = error.code();
                m_lastErrorText = error.description();
            }
            throw;
        }
    }

    std::unique_ptr<localengine::Connection> m_connection;
    qint32 m_lastError = 0;
    QString m_lastErrorText;
};

}  // namespace

std::shared_ptr<OraDatabase> openLocalDatabase(const QString& host, const QString& user) {
    return engineCall([&]() -> std::shared_ptr<OraDatabase> {
        return std::make_shared<LocalDatabase>(
            localengine::Connection::open(host.toStdString(), user.toStdString()));
    });
}

}  // namespace oraobj

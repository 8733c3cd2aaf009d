#include "FakeOra.h"

#include "Session.h"

namespace {

class FaultyDatabase : public oraobj::OraDatabase {
public:
    FaultyDatabase(std::shared_ptr<oraobj::OraDatabase> real, FaultPlan& plan)
        : m_real(std::move(real)), m_plan(plan) {}
    qint32 DbExecuteSQL(const QString& sql) override {
        if (sql.trimmed().startsWith(QLatin1String("DELETE"), Qt::CaseInsensitive)) {
            ++m_plan.deleteCalls;
            if (m_plan.failDelete)
                throw oraobj::OraError(FaultyComponent::deleteFailure(), 3113);
        }
        return m_real->DbExecuteSQL(sql);
    }
    void ExecuteSQL(QString sql) override {
        if (m_plan.ignoreCreate &&
            sql.trimmed().startsWith(QLatin1String("create table"), Qt::CaseInsensitive))
            return;
        m_real->ExecuteSQL(std::move(sql));
    }
    std::unique_ptr<oraobj::OraDynaset> DbCreateDynaset(const QString& sql,
                                                        qint32 options) override {
        return m_real->DbCreateDynaset(sql, options);
    }
    void Close() override {
        ++m_plan.closeCalls;
        if (m_plan.failClose)
            throw oraobj::OraError(FaultyComponent::closeFailure(), 3114);
        m_real->Close();
    }
    qint32 LastServerErr() const override { return m_real->LastServerErr(); }
    QString LastServerErrText() const override { return m_real->LastServerErrText(); }
    void LastServerErrReset() override { m_real->LastServerErrReset(); }

private:
    std::shared_ptr<oraobj::OraDatabase> m_real;
    FaultPlan& m_plan;
};

class FaultySession : public oraobj::OraSession {
public:
    explicit FaultySession(FaultPlan& plan) : m_plan(plan) {}
    std::shared_ptr<oraobj::OraDatabase> DbOpenDatabase(const QString& host, const QString& connect,
                                                        qint32 options) override {
        return std::make_shared<FaultyDatabase>(m_real.DbOpenDatabase(host, connect, options),
                                                m_plan);
    }
    qint32 LastServerErr() const override { return m_real.LastServerErr(); }
    QString LastServerErrText() const override { return m_real.LastServerErrText(); }
    void LastServerErrReset() override { m_real.LastServerErrReset(); }

private:
    oraobj::SessionObject m_real;
    FaultPlan& m_plan;
};

}  // namespace

FaultyComponent::FaultyComponent() {
    oraobj::SetSessionFactory([this](const QString&) -> std::shared_ptr<oraobj::OraSession> {
        if (plan.failCreate)
            throw oraobj::OraError(createFailure());
        return std::make_shared<FaultySession>(plan);
    });
}

FaultyComponent::~FaultyComponent() {
    oraobj::SetSessionFactory({});
}

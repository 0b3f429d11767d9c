#pragma once
// Interface kind 4: no bus at all. Every operation succeeds and writes its
// trace-log line; queries are answered from a replies file or by asking the
// user, so the instrument control runs without hardware.

#include "bus/BusModule.h"

namespace velda::bus {

class Debug_Mdl : public BusModule {
public:
    explicit Debug_Mdl(BusContext& context);

    Status GP_Init(const QString& params) override;
    Status GP_Send_Str(int16_t adrs, QString text) override;
    Status GP_Receive_Str(int16_t adrs, QString& text) override;
    Status GP_LLO() override;
    Status GP_REN(int16_t flag) override;
    Status GP_SDC(int16_t adrs) override;
    Status GP_Time_Out(int16_t code) override;
    Status GP_MTerm(int16_t code) override;
    Status GP_Send_Binary_Data(const BusArray& data, int16_t adrs, int32_t count, int16_t format,
                               int16_t swap, int32_t last) override;
    Status GP_Send_AsciiBinary_Data(const QString& header, const BusArray& data, int16_t adrs,
                                    int32_t count, int16_t format, int16_t swap,
                                    int16_t flag) override;

    bool ResponseDialog() const { return responseDialog_; }
    const QString& IniFile() const { return iniFile_; }
    const QString& LastQueries() const { return lastQueries_; }
    const QString& PendingReply() const { return pendingReply_; }
    const QString& TermName() const { return termName_; }

    // The queries of a sent text: its ";"-separated commands that hold "?",
    // trimmed, joined by ",".
    static QString Extract_Queries(const QString& text);

private:
    void Address_Rule(int16_t adrs);
    // Full path of the replies file: relative names start at the program's folder.
    QString Replies_Path() const;

    bool responseDialog_ = false;
    QString iniFile_;
    QString lastQueries_;
    QString pendingReply_;
    QString termName_;
};

} // namespace velda::bus

#pragma once

#include "AnalysisLog.h"
#include "InterfaceTable.h"
#include "UtilisationLog.h"

#include <QStringList>

// Shared fixture of the log tests: a table with three loaded interfaces whose cells all
// differ, so that a field taken from the wrong column or row shows in the expected bytes.
namespace LogFixture
{

inline const QString Stamp = QStringLiteral("12.Apr.2005, 14:03:09");

// One row in table order: Number, IP, Interface, community, bandwidth, orgin, inbitnew,
// inbitold, indelta, indeltapers, inutil, orgout, outbitnew, outbitold, outdelta,
// outdeltapers, oututil, combinedpers, combinedutil, description.
inline void fillRow(InterfaceTable &table, int row, const QStringList &cells)
{
    for (int c = 0; c < cells.size(); ++c)
        table.setCell(c, row, cells.at(c));
}

inline void fillThree(InterfaceTable &table)
{
    table.writeHeaderAndInitialValues();
    fillRow(table, 1,
            {"1",       "10.0.0.1", "3",     "public", "100000000", "1234567",    "1234567",
             "1231567", "3000",     "1000",  "0.008",  "-5",        "4294967291", "4294961291",
             "6000",    "2000",     "0.016", "3000",   "0.024",     "Core uplink"});
    fillRow(table, 2,
            {"2", "10.0.0.2", "12", "private", "10000000", "0", "0", "0", "0", "0",
             "0", "0",        "0",  "0",       "0",        "0", "0", "0", "0", "Backup; spare"});
    fillRow(table, 3,
            {"3",
             "192.168.1.254",
             "1",
             "c3",
             "2048000",
             "98765",
             "98765",
             "97765",
             "1000",
             "333.333333333333",
             "0.130208333333333",
             "4321",
             "4321",
             "2821",
             "1500",
             "500",
             "0.1953125",
             "833.333333333333",
             "0.325520833333333",
             "WAN E1"});
}

inline QString utilisationHeader(const QString &stamp)
{
    return stamp + QStringLiteral("; Number; description; IP; Interface; bandwidth; "
                                  "indeltapers; inutil; outdeltapers; oututil; combinedpers; "
                                  "combinedutil")
                       .repeated(10);
}

inline QString analysisHeader(const QString &stamp)
{
    return stamp + QStringLiteral("; ") +
           QStringLiteral("Number; IP; Interface; community; bandwidth; orgin; inbitnew; "
                          "inbitold; indelta; indeltapers; inutil; orgout; outbitnew; outbitold; "
                          "outdelta; outdeltapers; oututil; combinedpers; combinedutil; "
                          "description; ")
               .repeated(10);
}

inline QString utilisationThree(const QString &stamp)
{
    return stamp +
           QStringLiteral("; 1; Core uplink; 10.0.0.1; 3; 100000000; 1000; 0.008; 2000; 0.016; "
                          "3000; 0.024; "
                          "2; Backup; spare; 10.0.0.2; 12; 10000000; 0; 0; 0; 0; 0; 0; "
                          "3; WAN E1; 192.168.1.254; 1; 2048000; 333.333333333333; "
                          "0.130208333333333; 500; 0.1953125; 833.333333333333; "
                          "0.325520833333333; ");
}

inline QString analysisThree(const QString &stamp)
{
    return stamp +
           QStringLiteral(
               "; 1; 10.0.0.1; 3; public; 100000000; 1234567; 1234567; 1231567; 3000; 1000; "
               "0.008; -5; 4294967291; 4294961291; 6000; 2000; 0.016; 3000; 0.024; Core uplink; "
               "2; 10.0.0.2; 12; private; 10000000; 0; 0; 0; 0; 0; 0; 0; 0; 0; 0; 0; 0; 0; 0; "
               "Backup; spare; "
               "3; 192.168.1.254; 1; c3; 2048000; 98765; 98765; 97765; 1000; 333.333333333333; "
               "0.130208333333333; 4321; 4321; 2821; 1500; 500; 0.1953125; 833.333333333333; "
               "0.325520833333333; WAN E1; ");
}

} // namespace LogFixture

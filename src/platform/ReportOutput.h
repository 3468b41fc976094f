#pragma once

class ReportLayout;

// Where a filled page layout goes. The application shows it in a preview and then prints it
// through the print dialog; tests, and runs with QUILBA_PRINT_DIR set, get one PDF file per
// document instead.
class ReportOutput
{
public:
    virtual ~ReportOutput() = default;

    // Shows and prints the layout as it stands; true when it was printed.
    virtual bool print(const ReportLayout& layout) = 0;
};

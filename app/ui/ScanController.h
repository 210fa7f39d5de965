#pragma once
// What the window does with card files: opening them (and cutting sheets into
// cards), the colour pass with its questions, the stain scans and the stain
// table.  The decoding, the passes and the tracing run on a worker thread while
// the window goes on answering; the window's busy state keeps a second
// command from starting meanwhile, and Cancel (or closing the window) stops
// the work at its next row.  The window's handlers forward here.

#include "intake/CardFinder.h"

#include <QObject>
#include <QStringList>

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vex::ui {

class frmMain;

class ScanController : public QObject {
public:
    explicit ScanController(frmMain &window);

    // The commands behind the window's buttons.
    void load();
    void loadTemplate();
    void scanColour();
    void scanColourAll();
    void scan();
    void scanAll();
    void writeStains();

    // The steps they are made of, which the window also offers on their own.
    bool loadImage(const std::string &fileTitle, const std::string &pathName, std::int32_t resolution);
    void loadFiles(const QStringList &paths);
    void cutSheet(const std::string &path);
    // Finds the cards in a photo or a sheet, shows them to be checked and
    // opens those accepted as cards, each saved beside the picture.
    void findCards();
    void findCardsIn(const std::string &path);
    bool runColourPassFor(int index);
    void scanCard(int index);
    void reanalyseCards(const std::vector<int> &cards);
    bool writeStainTable(const std::string &path);

private:
    // Busy from construction to destruction, with the bar showing work under
    // way and Cancel enabled; nested scopes leave the outer one's bar alone.
    class Work;
    // Tells the bar how far the work is from the worker thread, queued and only
    // when the bar would move visibly.
    class Progress;
    // The part of the bar the work under way fills, as shares of the whole:
    // a scan of all cards gives each card its own part.
    struct Share {
        double From = 0.0;
        double To = 1.0;
        bool whole() const { return From == 0.0 && To == 1.0; }
    };
    // The bar at `done` of the whole, where a card's part ends.
    void showDone(double done);

    void findAndOpenCards(const std::string &path);

    frmMain &w_;
    // The card size Find Cards looked for last, and the stored size it
    // started from.
    CardSize findSize_;
    std::optional<CardSize> findSizeStored_;
    int depth_ = 0;
    Share share_;
};

} // namespace vex::ui

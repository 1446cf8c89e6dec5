#pragma once
// The open dialog through which any number of music files is chosen at once.
// Callers walk the result from GetStartPosition() with GetNextPathName().

#include <QString>
#include <QStringList>

class QWidget;

namespace zelph {

class CFECFileDialog {
public:
    enum Result { kOk = 1, kCancel = 2 };
    // A place in the result; kEnd once every path has been read.
    using Position = qsizetype;
    static constexpr Position kEnd = -1;

    // `filter` is in the "Name|patterns|Name|patterns||" form; see QtFilters().
    CFECFileDialog(const QString& title, const QString& filter, QWidget* parent = nullptr);

    // Shows the dialog and waits; kCancel leaves no paths.
    int DoModal();

    Position GetStartPosition() const;
    QString GetNextPathName(Position& position) const;

    // The "Name|patterns|..." filter as Qt's "Name (patterns)" entries, with
    // the same names and patterns. "*.*" means every file, as it always has.
    static QStringList QtFilters(const QString& filter);

private:
    QString title_;
    QStringList filters_;
    QWidget* parent_;
    QStringList paths_;
};

// The filter of the main window's "Add File" command.
inline constexpr const char* kMusicFileFilter =
    "Music Files (*.wav,*.mp2,*.mp3,*.ogg,*.ape,*.vqf,*.flac,*.oga,*.opus)|"
    "*.wav;*.mp2;*.mp3;*.ogg;*.ape;*.vqf;*.flac;*.oga;*.opus|"
    "PCM Wave Files (*.wav)|*.wav|Mp2 Files (*.mp2)|*.mp2|Mp3 Files (*.mp3)|*.mp3|"
    "OggVorbis Files (*.ogg)|*.ogg|MonkeysAudio Files (*.ape)|*.ape|"
    "TwinVQ Files (*.vqf)|*.vqf|FLAC Files (*.flac,*.oga)|*.flac;*.oga|Opus Files (*.opus)|*.opus|"
    "All Files (*.*)|*.*||";

// The patterns of the filter's first entry, the music files ("*.wav", ...).
QStringList MusicFilePatterns();

}  // namespace zelph

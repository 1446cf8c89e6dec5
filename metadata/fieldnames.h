#pragma once
// The MusicBrainz fields under the names other taggers (Picard, foobar2000,
// mutagen) write and look for in each tag form.

namespace zelph {

struct MusicBrainzName {
    const char* key;             // the neutral name; Xiph comments and APEv2 use it too
    const char* id3Description;  // the ID3v2 TXXX description
};

// The recording id (MUSICBRAINZ_TRACKID) is not here: ID3v2 keeps it in a
// UFID frame owned by "http://musicbrainz.org", which TagLib writes and reads.
// (TagLib also spells APEv2's MUSICBRAINZ_ALBUMSTATUS and _ALBUMTYPE itself.)
inline constexpr MusicBrainzName kMusicBrainzNames[] = {
    {"MUSICBRAINZ_ARTISTID", "MusicBrainz Artist Id"},
    {"MUSICBRAINZ_ALBUMID", "MusicBrainz Album Id"},
    {"MUSICBRAINZ_ALBUMARTISTID", "MusicBrainz Album Artist Id"},
    {"MUSICBRAINZ_RELEASEGROUPID", "MusicBrainz Release Group Id"},
    {"MUSICBRAINZ_RELEASETRACKID", "MusicBrainz Release Track Id"},
    {"MUSICBRAINZ_WORKID", "MusicBrainz Work Id"},
    {"MUSICBRAINZ_DISCID", "MusicBrainz Disc Id"},
    {"MUSICBRAINZ_ORIGINALARTISTID", "MusicBrainz Original Artist Id"},
    {"MUSICBRAINZ_ORIGINALALBUMID", "MusicBrainz Original Album Id"},
    {"MUSICBRAINZ_TRMID", "MusicBrainz TRM Id"},
    {"RELEASESTATUS", "MusicBrainz Album Status"},
    {"RELEASETYPE", "MusicBrainz Album Type"},
    {"RELEASECOUNTRY", "MusicBrainz Album Release Country"},
    {"MUSICIP_PUID", "MusicIP PUID"},
    {"ACOUSTID_ID", "Acoustid Id"},
    {"ACOUSTID_FINGERPRINT", "Acoustid Fingerprint"},
};

}  // namespace zelph

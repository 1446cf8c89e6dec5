#include "metadata/xiphcomments.h"

#include "metadata/tagform.h"
#include "metadata/taglibtext.h"

namespace zelph {

std::vector<TagPicture> FromPictureBlocks(const TagLib::List<TagLib::FLAC::Picture*>& blocks) {
    std::vector<TagPicture> pictures;
    for (const TagLib::FLAC::Picture* picture : blocks)
        pictures.push_back({static_cast<int>(picture->type()), Utf8(picture->mimeType()),
                            Utf8(picture->description()), Bytes(picture->data())});
    return pictures;
}

std::unique_ptr<TagLib::FLAC::Picture> PictureBlockOf(const TagPicture& picture) {
    auto block = std::make_unique<TagLib::FLAC::Picture>();
    block->setType(static_cast<TagLib::FLAC::Picture::Type>(picture.type));
    block->setMimeType(FromUtf8(picture.mimeType));
    block->setDescription(FromUtf8(picture.description));
    block->setData(Bytes(picture.data));
    return block;
}

void ReadComment(TagLib::Ogg::XiphComment& comment, TagReadResult& result) {
    ReadProperties(result, comment.properties());
    result.tags.pictures = FromPictureBlocks(comment.pictureList());
}

std::vector<std::string> WriteCommentFields(TagLib::Ogg::XiphComment& comment, const Tags& tags) {
    return Keys(comment.setProperties(ToPropertyMap(WithTotalsApart(tags.fields))));
}

// A packet of the same length keeps the header pages' size, so TagLib
// rewrites them in place rather than moving every audio page behind them.
// Readers stop at the end of the comment list (Ogg Opus names the zero
// bytes after it padding; Vorbis readers never look past the framing bit).
bool SaveOggComment(TagLib::Ogg::File& file, const TagLib::Ogg::XiphComment& comment, const OggCommentPacket& packet) {
    TagLib::ByteVector bytes(packet.id);
    bytes.append(comment.render(packet.framingBit));
    const unsigned int room = file.packet(1).size();
    bytes.resize(bytes.size() <= room ? room : bytes.size() + kTagRoom, '\0');
    file.setPacket(1, bytes);
    // The codec's own save would set the packet again, unpadded.
    return file.TagLib::Ogg::File::save();
}

}  // namespace zelph

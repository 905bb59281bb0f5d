// The container's error messages, byte for byte. A file name, where one follows, is joined
// without an added space.
#pragma once

namespace vornix::lzrw1_messages {

inline constexpr char kNoBufferMemory[] = "Lzrw1 (de)compression : Failed to get memory for I/O buffers !";
inline constexpr char kInitInputStream[] = "Lzrw1 (de)compression : Failed to initialize input stream !";
inline constexpr char kInitOutputStream[] = "Lzrw1 (de)compression : Failed to initialize output stream !";
inline constexpr char kOpenInputFile[] = "Lzrw1 (de)compression : Failed to open input file : ";
inline constexpr char kOpenOutputFile[] = "Lzrw1 (de)compression : Failed to open output file : ";
inline constexpr char kReadStream[] = "Lzrw1 : Error reading from input stream !";
inline constexpr char kReadFile[] = "Lzrw1 : Error reading from input file : ";
inline constexpr char kWriteStream[] = "Lzrw1 : Error writing to output stream !";
inline constexpr char kWriteFile[] = "Lzrw1 : Error writing to output file : ";
inline constexpr char kLzhSuffix[] = " (LZH)";
inline constexpr char kLzrwSuffix[] = " (LZRW1/KH)";
inline constexpr char kNoHeaderStream[] = "Lzrw1 decompression : input stream contains no valid header !";
inline constexpr char kNoHeaderFile[] = " : Lzrw1 decompression : this file has no valid header !";
inline constexpr char kLzrwSizeMismatch[] =
    "Lzrw1 (decompression LZRW1/KH) : Original and compressed sizes do not match !";
inline constexpr char kLzhSizeMismatch[] = "Lzrw1 (LZH decompression) : Original and compressed sizes do not match !";
inline constexpr char kSizeStream[] = "Lzrw1 compression : Failed to obtain the size of the input stream !";
inline constexpr char kSizeFile[] = "Lzrw1 compression : Failed to obtain the size of : ";
inline constexpr char kAdviseNoBuffers[] = "Lzrw1 advise : Error getting I/O buffers";
inline constexpr char kAdviseSizeStream[] = "Lzrw1 advise : can not get size of inputstream !";
inline constexpr char kAdviseSizeFile[] = "Lzrw1 advise : can not get the size of : ";
inline constexpr char kAdviseInitStream[] = "Lzrw1 edvise : can not initialize the input stream!";
inline constexpr char kAdviseOpenFile[] = "Lzrw1 advise : can open input file : ";
inline constexpr char kAdviseReadStream[] = "Lzrw1 advise : input stream read error !";
inline constexpr char kAdviseReadFile[] = "Lzrw1 advise : read error on input file : ";

}  // namespace vornix::lzrw1_messages

#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Writes a stand-in for the Parakeet TDT model: the four files of the real one (encoder.int8.onnx,
decoder.int8.onnx, joiner.int8.onnx, tokens.txt) in its layout, with its inputs, outputs and metadata,
a few kB in all, which sherpa-onnx loads and decodes as a NeMo TDT transducer.

What it writes is predictable. The 80 mel bins are cut into four bands; a band whose loudest bin rises
above the silence writes its word once, when it starts being the loudest band:
    below ~600 Hz "▁Bonjour", ~600-1700 Hz "▁le", ~1.7-3.7 kHz "▁monde", above ~3.7 kHz "."
A tone of 300 Hz, then one of 1000 Hz, then one of 2500 Hz and one of 5000 Hz read "Bonjour le monde.";
silence reads nothing.

Usage: make_parakeet_standin.py FOLDER [--without-metadata | --corrupt | --heavy LAYERS]
  --without-metadata  the encoder lacks the metadata the library needs (it ends the process on it)
  --corrupt           the encoder file is damaged (the library aborts on it)
  --heavy LAYERS      the encoder also does the matrix work of LAYERS transformer-like layers of
                      width 1024 (weights made at load time, so the file stays small): for measuring
                      how decoding scales with threads
"""
import argparse
import os

import numpy as np
import onnx
from onnx import TensorProto, helper, numpy_helper

FEATURES = 80
BANDS = 4
SUBSAMPLING = 8
PRED_LAYERS = 1
PRED_HIDDEN = 2
DURATIONS = 5  # skips of 0 to 4 frames
TOKENS = ["<unk>", "▁Bonjour", "▁le", "▁monde", "."]  # token 1 + band
VOCAB = len(TOKENS)  # without the blank, which comes last
BLANK = VOCAB
SILENT_LOG_ENERGY = -5.0  # above this, a band is loud: silence is log(float epsilon), about -15.9
OPSET = 13


def save(model, path):
    onnx.checker.check_model(model)
    tmp = path + ".tmp"
    onnx.save(model, tmp)
    os.replace(tmp, path)


def encoder(heavy_layers, with_metadata):
    nodes = [
        # (B, 80, T) → (B, 4, 20, T) → loudest bin of each band (B, 4, T) → loudest of each 8 frames.
        helper.make_node("Reshape", ["audio_signal", "band_shape"], ["banded"]),
        helper.make_node("ReduceMax", ["banded"], ["band_max"], axes=[2], keepdims=0),
        helper.make_node("MaxPool", ["band_max"], ["pooled"], kernel_shape=[SUBSAMPLING],
                         strides=[SUBSAMPLING], ceil_mode=1),
        helper.make_node("Add", ["length", "round_up"], ["length_up"]),
        helper.make_node("Div", ["length_up", "subsampling"], ["encoded_lengths"]),
    ]
    initializers = [
        numpy_helper.from_array(np.array([0, BANDS, FEATURES // BANDS, -1], np.int64), "band_shape"),
        numpy_helper.from_array(np.array(SUBSAMPLING - 1, np.int64), "round_up"),
        numpy_helper.from_array(np.array(SUBSAMPLING, np.int64), "subsampling"),
    ]
    result = "pooled"
    if heavy_layers:
        # (B, 4, T') → (B, T', 4) → width 1024, then per layer a feed-forward block (1024 → 4096 → 1024)
        # and four 1024 × 1024 projections, as in an attention block; the sum is multiplied by zero and
        # added to the bands, so that what is written stays the same.
        width, inner = 1024, 4096
        nodes.append(helper.make_node("Transpose", ["pooled"], ["h_in"], perm=[0, 2, 1]))
        nodes.append(helper.make_node("MatMul", ["h_in", "w_in"], ["h0"]))
        initializers.append(numpy_helper.from_array(np.full((BANDS, width), 0.01, np.float32), "w_in"))

        def weights(name, rows, columns):
            shape = numpy_helper.from_array(np.array([rows, columns], np.int64), name + "_shape")
            initializers.append(shape)
            value = helper.make_tensor("value", TensorProto.FLOAT, [1], [1.0 / rows])
            nodes.append(helper.make_node("ConstantOfShape", [name + "_shape"], [name], value=value))

        h = "h0"
        for layer in range(heavy_layers):
            p = f"l{layer}_"
            for name, rows, columns in [("up", width, inner), ("down", inner, width), ("q", width, width),
                                        ("k", width, width), ("v", width, width), ("o", width, width)]:
                weights(p + name, rows, columns)
            nodes += [
                helper.make_node("MatMul", [h, p + "up"], [p + "a"]),
                helper.make_node("Relu", [p + "a"], [p + "b"]),
                helper.make_node("MatMul", [p + "b", p + "down"], [p + "c"]),
                helper.make_node("MatMul", [p + "c", p + "q"], [p + "d"]),
                helper.make_node("MatMul", [p + "d", p + "k"], [p + "e"]),
                helper.make_node("MatMul", [p + "e", p + "v"], [p + "f"]),
                helper.make_node("MatMul", [p + "f", p + "o"], [p + "g"]),
                helper.make_node("Add", [h, p + "g"], [p + "out"]),
            ]
            h = p + "out"
        nodes += [
            helper.make_node("ReduceMean", [h], ["h_mean"], axes=[2], keepdims=1),
            helper.make_node("Mul", ["h_mean", "zero"], ["h_zero"]),
            helper.make_node("Transpose", ["h_zero"], ["h_back"], perm=[0, 2, 1]),
            helper.make_node("Add", ["pooled", "h_back"], ["heavy_out"]),
        ]
        initializers.append(numpy_helper.from_array(np.array(0.0, np.float32), "zero"))
        result = "heavy_out"
    nodes.append(helper.make_node("Identity", [result], ["outputs"]))

    graph = helper.make_graph(
        nodes, "encoder",
        [helper.make_tensor_value_info("audio_signal", TensorProto.FLOAT, ["B", FEATURES, "T"]),
         helper.make_tensor_value_info("length", TensorProto.INT64, ["B"])],
        [helper.make_tensor_value_info("outputs", TensorProto.FLOAT, ["B", BANDS, "T_out"]),
         helper.make_tensor_value_info("encoded_lengths", TensorProto.INT64, ["B"])],
        initializers)
    model = helper.make_model(graph, opset_imports=[helper.make_opsetid("", OPSET)])
    model.ir_version = 8
    if with_metadata:
        metadata = {
            "vocab_size": str(VOCAB),
            "subsampling_factor": str(SUBSAMPLING),
            "pred_rnn_layers": str(PRED_LAYERS),
            "pred_hidden": str(PRED_HIDDEN),
            "feat_dim": str(FEATURES),
            "normalize_type": "",
            "url": "parlune stand-in for parakeet-tdt",
        }
        helper.set_model_props(model, metadata)
    return model


def decoder():
    # The previous token, one-hot: the joiner keeps a band from writing its word twice in a row.
    embedding = np.zeros((VOCAB + 1, VOCAB + 1), np.float32)
    np.fill_diagonal(embedding, 1.0)
    nodes = [
        helper.make_node("Cast", ["targets"], ["targets64"], to=TensorProto.INT64),
        helper.make_node("Gather", ["embedding", "targets64"], ["embedded"]),  # (B, 1, V+1)
        helper.make_node("Transpose", ["embedded"], ["outputs"], perm=[0, 2, 1]),  # (B, V+1, 1)
        helper.make_node("Identity", ["target_length"], ["prednet_lengths"]),
        helper.make_node("Identity", ["states.1"], ["states"]),
        helper.make_node("Identity", ["onnx::Slice_3"], ["162"]),
    ]
    state = ["L", "B", PRED_HIDDEN]
    graph = helper.make_graph(
        nodes, "decoder",
        [helper.make_tensor_value_info("targets", TensorProto.INT32, ["B", 1]),
         helper.make_tensor_value_info("target_length", TensorProto.INT32, ["B"]),
         helper.make_tensor_value_info("states.1", TensorProto.FLOAT, state),
         helper.make_tensor_value_info("onnx::Slice_3", TensorProto.FLOAT, state)],
        [helper.make_tensor_value_info("outputs", TensorProto.FLOAT, ["B", VOCAB + 1, 1]),
         helper.make_tensor_value_info("prednet_lengths", TensorProto.INT32, ["B"]),
         helper.make_tensor_value_info("states", TensorProto.FLOAT, state),
         helper.make_tensor_value_info("162", TensorProto.FLOAT, state)],
        [numpy_helper.from_array(embedding, "embedding")])
    model = helper.make_model(graph, opset_imports=[helper.make_opsetid("", OPSET)])
    model.ir_version = 8
    return model


def joiner():
    outputs = VOCAB + 1 + DURATIONS
    # Token 1 + b scores the loudest bin of band b; the blank scores the silence threshold; the token
    # just written loses 100, so a held tone writes its word once. A skip of one frame always wins.
    from_encoder = np.zeros((BANDS, outputs), np.float32)
    for band in range(BANDS):
        from_encoder[band, 1 + band] = 1.0
    from_decoder = np.zeros((VOCAB + 1, outputs), np.float32)
    for token in range(VOCAB):
        from_decoder[token, token] = -100.0
    bias = np.zeros(outputs, np.float32)
    bias[0] = -1000.0  # <unk> never
    bias[BLANK] = SILENT_LOG_ENERGY
    bias[VOCAB + 1:] = [0.0, 1.0, 0.0, 0.0, 0.0]
    nodes = [
        helper.make_node("Transpose", ["encoder_outputs"], ["enc"], perm=[0, 2, 1]),
        helper.make_node("Transpose", ["decoder_outputs"], ["dec"], perm=[0, 2, 1]),
        helper.make_node("MatMul", ["enc", "from_encoder"], ["enc_logits"]),
        helper.make_node("MatMul", ["dec", "from_decoder"], ["dec_logits"]),
        helper.make_node("Add", ["enc_logits", "dec_logits"], ["sum"]),
        helper.make_node("Add", ["sum", "bias"], ["logits"]),
        helper.make_node("Unsqueeze", ["logits", "axis"], ["outputs"]),
    ]
    graph = helper.make_graph(
        nodes, "joiner",
        [helper.make_tensor_value_info("encoder_outputs", TensorProto.FLOAT, ["B", BANDS, 1]),
         helper.make_tensor_value_info("decoder_outputs", TensorProto.FLOAT, ["B", VOCAB + 1, 1])],
        [helper.make_tensor_value_info("outputs", TensorProto.FLOAT, ["B", 1, 1, outputs])],
        [numpy_helper.from_array(from_encoder, "from_encoder"),
         numpy_helper.from_array(from_decoder, "from_decoder"),
         numpy_helper.from_array(bias, "bias"),
         numpy_helper.from_array(np.array([2], np.int64), "axis")])
    model = helper.make_model(graph, opset_imports=[helper.make_opsetid("", OPSET)])
    model.ir_version = 8
    return model


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("folder")
    kind = parser.add_mutually_exclusive_group()
    kind.add_argument("--without-metadata", action="store_true")
    kind.add_argument("--corrupt", action="store_true")
    kind.add_argument("--heavy", type=int, default=0, metavar="LAYERS")
    arguments = parser.parse_args()

    os.makedirs(arguments.folder, exist_ok=True)
    path = lambda name: os.path.join(arguments.folder, name)
    save(encoder(arguments.heavy, not arguments.without_metadata), path("encoder.int8.onnx"))
    save(decoder(), path("decoder.int8.onnx"))
    save(joiner(), path("joiner.int8.onnx"))
    with open(path("tokens.txt.tmp"), "w", encoding="utf-8") as tokens:
        for number, symbol in enumerate(TOKENS + ["<blk>"]):
            tokens.write(f"{symbol} {number}\n")
    os.replace(path("tokens.txt.tmp"), path("tokens.txt"))
    if arguments.corrupt:
        # A download cut short: the first half of the file.
        with open(path("encoder.int8.onnx"), "rb") as whole:
            data = whole.read()
        with open(path("encoder.int8.onnx"), "wb") as cut:
            cut.write(data[: len(data) // 2])


if __name__ == "__main__":
    main()

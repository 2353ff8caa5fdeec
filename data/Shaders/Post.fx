<?xml version="1.0" encoding="UTF-8"?>
<Effect>
	<Parameter type="float" name="FrameTime"/>
	<Parameter type="float4" name="QuadScreenSize"/>
	<Parameter type="float2" name="DestScreenSize"/>
	<Parameter type="float4" name="vOffset01"/>
	<Parameter type="float4" name="vOffset02"/>
	<Parameter type="texture" name="Source0"/>
	<Parameter type="texture" name="Source1"/>
	<Parameter type="texture" name="Source2"/>
	<Parameter type="texture" name="Source3"/>
	<Technique name="Display">
		<Pass vertex="Shaders/Post.vert" fragment="Shaders/PostDisplay.frag">
			<State name="ZEnable" value="false"/>
			<State name="ZWriteEnable" value="false"/>
			<State name="CullMode" value="None"/>
			<Sampler texture="Source0" min="Point" mag="Point" mip="None" u="Clamp" v="Clamp"/>
		</Pass>
	</Technique>
	<Technique name="MonoChrome">
		<Pass vertex="Shaders/Post.vert" fragment="Shaders/PostMonoChrome.frag">
			<State name="ZEnable" value="false"/>
			<State name="ZWriteEnable" value="false"/>
			<State name="CullMode" value="None"/>
			<Sampler texture="Source0" min="Point" mag="Point" mip="None" u="Clamp" v="Clamp"/>
		</Pass>
	</Technique>
	<Technique name="GlareBlur">
		<Pass vertex="Shaders/Post.vert" fragment="Shaders/PostGlareBlur.frag">
			<State name="ZEnable" value="false"/>
			<State name="ZWriteEnable" value="false"/>
			<State name="CullMode" value="None"/>
			<Sampler texture="Source0" min="Linear" mag="Linear" mip="None" u="Clamp" v="Clamp"/>
			<Sampler texture="Source1" min="Linear" mag="Linear" mip="None" u="Clamp" v="Clamp"/>
			<Sampler texture="Source2" min="Linear" mag="Linear" mip="None" u="Clamp" v="Clamp"/>
			<Sampler texture="Source3" min="Linear" mag="Linear" mip="None" u="Clamp" v="Clamp"/>
		</Pass>
	</Technique>
	<Technique name="Glow">
		<Pass vertex="Shaders/Post.vert" fragment="Shaders/PostGlow.frag">
			<State name="ZEnable" value="false"/>
			<State name="ZWriteEnable" value="false"/>
			<State name="CullMode" value="None"/>
			<Sampler texture="Source0" min="Point" mag="Point" mip="None" u="Clamp" v="Clamp"/>
			<Sampler texture="Source1" min="Linear" mag="Linear" mip="None" u="Clamp" v="Clamp"/>
		</Pass>
	</Technique>
	<Technique name="RenderShadow">
		<Pass vertex="Shaders/Post.vert" fragment="Shaders/PostShadow.frag">
			<State name="ZEnable" value="false"/>
			<State name="ZWriteEnable" value="false"/>
			<State name="CullMode" value="None"/>
			<State name="AlphaBlendEnable" value="true"/>
			<State name="SrcBlend" value="SrcAlpha"/>
			<State name="DestBlend" value="InvSrcAlpha"/>
			<State name="StencilEnable" value="true"/>
			<State name="StencilFunc" value="NotEqual"/>
			<State name="StencilRef" value="128"/>
			<State name="StencilPass" value="Keep"/>
		</Pass>
	</Technique>
</Effect>
